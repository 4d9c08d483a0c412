#include "app/sis_page.h"

#include "package/build.h"
#include "package/import.h"
#include "package/loaders.h"
#include "app/widgets.h"
#include "platform/codepage.h"
#include "workspace/workspace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

namespace kastra {

namespace {

using enum SisPage::Control;

// clang-format off
constexpr ControlSpec Rows[] = {
//   id                 name                 kind            parent  x    y    w    h   caption              font  height flags       colour view
    {GreetingLabel,     "GreetingLabel",     Kind::Label,    Top,    0,   0,   0,   0, u"Текст приветствия", nullptr, -1, Plain,      0, NoView},
    {GreetingMemo,      "GreetingMemo",      Kind::Memo,     Top,    0,  17, 193,  88,
        u"Theme created with:\n"
        u"Program: Kastra Theme Creator\n"
        u"Theme creator: -\n"
        u"--------------------------------\n"
        u"!!! After installing restart !!!\n"
        u"!!!         your phone          !!!\n",                               nullptr,  8, WindowBack, 0, NoView},
    {ThemeNameLabel,    "ThemeNameLabel",    Kind::Label,    Top,    2, 105,   0,   0, u"Название темы",     nullptr, -1, Plain,      0, NoView},
    {ThemeNameEdit,     "ThemeNameEdit",     Kind::Edit,     Top,    1, 122, 192,  22, nullptr,             nullptr, -1, WindowBack, 0, NoView},
    {ThemeFileLabel,    "ThemeFileLabel",    Kind::Label,    Top,    2, 145,   0,   0, u"Имя файла темы",    nullptr, -1, Plain,      0, NoView},
    {ThemeFileEdit,     "ThemeFileEdit",     Kind::Edit,     Top,    2, 166, 191,  22, nullptr,             nullptr, -1, WindowBack, 0, NoView},
    {LoadMenuAifButton, "LoadMenuAifButton", Kind::Button,   Top,  205,  17,  99,  24, u"Загр. veZozi",      nullptr, -1, Plain,      0, NoView},
    {LoadAppAifButton,  "LoadAppAifButton",  Kind::Button,   Top,  205,  48,  99,  24, u"Загр. veZor",       nullptr, -1, Plain,      0, NoView},
    {LoadThemeButton,   "LoadThemeButton",   Kind::Button,   Top,  205,  80,  99,  24, u"Загр. тему",        nullptr, -1, Disabled,   0, NoView},
    {LoadFontButton,    "LoadFontButton",    Kind::Button,   Top,  204, 121,  99,  24, u"Загр. шрифт",       nullptr, -1, Plain,      0, NoView},
    {FontStatusLabel,   "FontStatusLabel",   Kind::Label,    Top,  205, 147,  96,  14, nullptr,             nullptr, 10, Centred,    0, NoView},
    {BuildButton,       "BuildButton",       Kind::Button,   Top,  204, 165,  99,  24, u"Build",             nullptr, -1, Plain,      0, NoView},
    {BuildProgress,     "BuildProgress",     Kind::Progress, Top,    2, 198, 301,  18, nullptr,             nullptr, -1, Plain,      0, NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

} // namespace

std::span<const ControlSpec> SisPage::rows() { return Rows; }

CharacterFilter::CharacterFilter(Rule rule, Refused refused, QObject* parent)
    : QValidator(parent), m_rule(rule), m_refused(std::move(refused))
{
}

bool CharacterFilter::allowed(Rule rule, QChar c)
{
    if (rule == Rule::ThemeName)
        return inCp1251(c) && c != u'"' && c != u'\r' && c != u'\n' && c != QChar(0);
    if (rule == Rule::Greeting)   // the document's own line breaks included
        return inCp1251(c) || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
}

namespace {

// A refused character as the person can read it: a line break or a blank
// by its name, a control character by its code, anything else as itself.
QString shown(uint c)
{
    switch (c) {
    case U'\n':
    case U'\r':
    case 0x2028:
    case 0x2029: return QStringLiteral("перенос строки");
    case U' ': return QStringLiteral("пробел");
    case U'\t': return QStringLiteral("табуляция");
    default: break;
    }
    if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF))
        return QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0')).toUpper();
    const char32_t code = c;
    return u'«' + QString::fromUcs4(&code, 1) + u'»';
}

// The distinct characters, in the order they came; a long paste names the
// first few.
QString listed(const QList<uint>& chars)
{
    constexpr qsizetype Shown = 12;
    QStringList names;
    for (const uint c : chars) {
        const QString name = shown(c);
        if (!names.contains(name))
            names << name;
    }
    const bool more = names.size() > Shown;
    names = names.mid(0, Shown);
    return names.join(u' ') + (more ? QStringLiteral(" …") : QString());
}

} // namespace

QString CharacterFilter::refusalHint(Rule rule, const QString& refused)
{
    if (refused.isEmpty())
        return {};
    if (rule == Rule::FileName) {
        return QStringLiteral("Пропущено: %1. В имени файла допустимы только латинские буквы, цифры и «_».")
            .arg(listed(refused.toUcs4()));
    }
    // A surrogate pair is one character and is outside the code page as a
    // whole.
    QList<uint> outside;
    QList<uint> forbidden;
    for (const uint c : refused.toUcs4()) {
        const bool single = c <= 0xFFFF;
        if (single && inCp1251(QChar(static_cast<char16_t>(c))))
            forbidden << c;
        else
            outside << c;
    }
    QStringList lines;
    if (!outside.isEmpty())
        lines << QStringLiteral("Пропущено: %1. Этих знаков нет в кодировке Windows-1251, а пакет хранит текст в ней.")
                     .arg(listed(outside));
    if (!forbidden.isEmpty())
        lines << QStringLiteral("Пропущено: %1. Кавычки и переносы строк в названии темы недопустимы.")
                     .arg(listed(forbidden));
    return lines.join(u'\n');
}

QValidator::State CharacterFilter::validate(QString& input, int& pos) const
{
    QString kept;
    QString refused;
    kept.reserve(input.size());
    int newPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (allowed(m_rule, input.at(i))) {
            kept += input.at(i);
            continue;
        }
        refused += input.at(i);
        if (i < pos)
            --newPos;
    }
    input = kept;
    pos = newPos;
    // The field validates again once it holds the kept text, which then has
    // nothing to refuse: one report per edit.
    if (!refused.isEmpty() && m_refused)
        m_refused(refused);
    return Acceptable;
}

void CharacterFilter::attach(Rule rule, QPlainTextEdit* memo, Refused refused)
{
    QTextDocument* doc = memo->document();
    // Runs once the document has finished the change (typing, a paste, a
    // drop, an input method), so it may edit it. The removals are one edit
    // block: one more change, in which there is nothing left to remove.
    QObject::connect(doc, &QTextDocument::contentsChanged, memo, [rule, doc, refused = std::move(refused)] {
        QTextCursor cursor(doc);
        QString removed;
        for (int i = doc->characterCount() - 1; i >= 0; --i) {
            const QChar c = doc->characterAt(i);
            if (allowed(rule, c))
                continue;
            if (removed.isEmpty())
                cursor.beginEditBlock();
            removed.prepend(c);
            cursor.setPosition(i);
            cursor.setPosition(i + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        if (removed.isEmpty())
            return;
        cursor.endEditBlock();
        if (refused)
            refused(removed);
    });
}

SisPage::SisPage(FormServices& form, const ImageList& images, QWidget* parent) : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("SisPage"));
    m_controls = Controls<Control>(buildControls(this, Rows, images));
    m_hint = new FieldHint(this);
    filter(ThemeFileEdit, CharacterFilter::Rule::FileName);
    filter(ThemeNameEdit, CharacterFilter::Rule::ThemeName);
    filter(GreetingMemo, CharacterFilter::Rule::Greeting);
    // Tab leaves the greeting for the next control, as in any dialog; a tab
    // character has no place in Hello.txt.
    m_controls.get<QPlainTextEdit>(GreetingMemo)->setTabChangesFocus(true);
    connect(m_controls.get<QPushButton>(BuildButton), &QPushButton::clicked, this, [this] { build(); });
    connect(m_controls.get<QPushButton>(LoadFontButton), &QPushButton::clicked, this, [this] { loadFont(); });
    connect(m_controls.get<QPushButton>(LoadMenuAifButton), &QPushButton::clicked, this, [this] { loadAif(true); });
    connect(m_controls.get<QPushButton>(LoadAppAifButton), &QPushButton::clicked, this, [this] { loadAif(false); });
    connect(m_controls.get<QPushButton>(LoadThemeButton), &QPushButton::clicked, this, [this] { importTheme(); });
}

void SisPage::filter(Control field, CharacterFilter::Rule rule)
{
    QWidget* box = m_controls.get(field);
    auto refused = [this, box, rule](const QString& chars) {
        m_hint->showBelow(box, CharacterFilter::refusalHint(rule, chars));
    };
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box))
        CharacterFilter::attach(rule, memo, refused);
    else
        qobject_cast<QLineEdit*>(box)->setValidator(new CharacterFilter(rule, refused, this));
}

void SisPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateImportButton();
}

void SisPage::paintEvent(QPaintEvent* event)
{
    // Windows erased the page's background on every show and repaint, and
    // that is when the button followed the tool's presence.
    updateImportButton();
    QWidget::paintEvent(event);
}

namespace {

// The tool is looked for beside the program first (an installed program
// keeps its program folder elsewhere), then in the program folder.
QString findTool(const QString& programFolder)
{
    const QString tool = FindBesideProgram(QCoreApplication::applicationDirPath() + u'/', programFolder,
                                           QString::fromLatin1(SisToolName));
    return QFileInfo(tool).isFile() ? tool : QString();
}

} // namespace

void SisPage::showFontState()
{
    m_controls.get<QLabel>(FontStatusLabel)->setText(m_form.state().fontLoaded ? QString::fromUtf16(FontLoadedText)
                                                                               : QString());
}

bool SisPage::updateImportButton()
{
    const bool present = !findTool(m_form.workspace().programFolder()).isEmpty();
    m_controls.get(LoadThemeButton)->setEnabled(present);
    return present;
}

void SisPage::build()
{
    BuildInputs in;
    in.themeName = m_controls.get<QLineEdit>(ThemeNameEdit)->text();
    in.fileName = m_controls.get<QLineEdit>(ThemeFileEdit)->text();
    in.greeting = m_controls.get<QPlainTextEdit>(GreetingMemo)->toPlainText();
    auto* bar = m_controls.get<QProgressBar>(BuildProgress);
    const BuildResult result = [&] {
        BusyCursor busy;
        return BuildPackage(m_form.workspace(), in, [bar](int value) {
            bar->setValue(value);
            bar->repaint();
        });
    }();
    // The bar stays where the build left it while the outcome is read.
    m_form.report(result.outcome);
    bar->setValue(0);
}

void SisPage::loadFont(const QString& dropped)
{
    const auto chosen = DroppedOrChosen(m_form.dialogs(), dropped, QString::fromUtf16(FontFilter));
    if (!chosen)
        return;
    m_form.record([&] {
        Outcome out = LoadFont(m_form.workspace(), *chosen);
        if (out.ok)
            m_form.state().fontLoaded = true;
        return out;
    });
    showFontState();
}

void SisPage::loadAif(bool menu)
{
    const auto chosen = m_form.dialogs().openFile(QString::fromUtf16(AifFilter));
    if (!chosen)
        return;
    m_form.record([&] {
        return menu ? LoadMenuAif(m_form.workspace(), *chosen) : LoadAppAif(m_form.workspace(), *chosen);
    });
}

void SisPage::importTheme(const QString& dropped)
{
    const QString tool = findTool(m_form.workspace().programFolder());
    if (tool.isEmpty()) {
        m_form.report(SisToolMissingOutcome());
        return;
    }
    const auto chosen = DroppedOrChosen(m_form.dialogs(), dropped, QString::fromUtf16(SisFilter));
    if (!chosen)
        return;
    const Outcome out = m_form.record([&] {
        BusyCursor busy;
        const ImportResult result = ImportTheme(m_form.workspace(), tool, *chosen,
                                                m_form.state().sisToolTimeoutMs);
        if (result.outcome.ok)
            m_form.state().pictures.stripBottom = result.backgroundNarrow;
        return result.outcome;
    });
    if (out.ok)
        emit pictureOptionsChanged();
    // The slots changed under every view.
    m_form.requestPreview();
    m_form.requestStrips();
    m_form.requestMenu();
}

} // namespace kastra
