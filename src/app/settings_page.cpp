#include "app/settings_page.h"

#include "app/editors.h"
#include "workspace/workspace.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kastra {

namespace {

constexpr std::uint32_t Purple = rgbText(128, 0, 128);

using enum SettingsPage::Control;

// clang-format off
constexpr ControlSpec Rows[] = {
//   id                   name                   kind            parent           x    y    w    h   caption                        font  height flags                colour view
    {EditorsLabel,        "EditorsLabel",        Kind::Label,    Top,             8,   6,   0,   0, u"Внешние редакторы",           nullptr, -1, Screen1,              0,      NoView},
    {Editor1Edit,         "Editor1Edit",         Kind::Edit,     Top,             8,  24, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {Editor2Edit,         "Editor2Edit",         Kind::Edit,     Top,             8,  48, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {Editor3Edit,         "Editor3Edit",         Kind::Edit,     Top,             8,  72, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {Browse1Button,       "Browse1Button",       Kind::Button,   Top,           194,  23,  25,  23, u"...",                         nullptr, -1, Screen1 | Bold,       0,      NoView},
    {Browse2Button,       "Browse2Button",       Kind::Button,   Top,           194,  48,  25,  22, u"...",                         nullptr, -1, Screen1 | Bold,       0,      NoView},
    {Browse3Button,       "Browse3Button",       Kind::Button,   Top,           194,  72,  25,  22, u"...",                         nullptr, -1, Screen1 | Bold,       0,      NoView},
    {Default1Radio,       "Default1Radio",       Kind::Radio,    Top,           224,  24,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple, NoView},
    {Default2Radio,       "Default2Radio",       Kind::Radio,    Top,           224,  48,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple, NoView},
    {Default3Radio,       "Default3Radio",       Kind::Radio,    Top,           224,  72,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple, NoView},
    {LabelsGroup,         "LabelsGroup",         Kind::Group,    Top,             8, 120, 185,  97, u"Подписи",                     nullptr, -1, Screen1 | NoTabStop,  0,      NoView},
    {Label1Edit,          "Label1Edit",          Kind::Edit,     LabelsGroup,     8,  19, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {Label2Edit,          "Label2Edit",          Kind::Edit,     LabelsGroup,     8,  43, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {Label3Edit,          "Label3Edit",          Kind::Edit,     LabelsGroup,     8,  67, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple, NoView},
    {MoreButton,          "MoreButton",          Kind::Button,   Top,           216, 160,  81,  25, u"Еще ->",                      nullptr, -1, Screen1,              0,      NoView},
    {SideStripsGroup,     "SideStripsGroup",     Kind::Group,    Top,             8,   8, 145,  89, u"Боковые полоски",             nullptr, -1, Screen2 | NoTabStop,  0,      NoView},
    {StripTopCheck,       "StripTopCheck",       Kind::CheckBox, SideStripsGroup,16,  24,   0,   0, u"Сверху",                      nullptr, -1, Screen2,              0,      NoView},
    {StripBottomCheck,    "StripBottomCheck",    Kind::CheckBox, SideStripsGroup,16,  56,   0,   0, u"Снизу",                       nullptr, -1, Screen2,              0,      NoView},
    {SeparateEidPicCheck, "SeparateEidPicCheck", Kind::CheckBox, Top,             8, 104,   0,   0, u"Разные картинки для EidPic",  nullptr, -1, Screen2,              0,      NoView},
    {BackButton,          "BackButton",          Kind::Button,   Top,           216, 160,  81,  25, u"<- Назад",                    nullptr, -1, Screen2,              0,      NoView},
    {SaveSettingsButton,  "SaveSettingsButton",  Kind::Button,   Top,           216, 192,  81,  25, u"Сохранить",                   nullptr, -1, Plain,                0,      NoView},
    {ScreenColoursCheck,  "ScreenColoursCheck",  Kind::CheckBox, Top,             8, 128,   0,   0, u"Экран 65 536 цветов",         nullptr, -1, Screen2,              0,      NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

// Whether a row belongs to the screen. Children of a group carry their
// group's screen, but the switch leaves them alone: a hidden child would
// stay hidden when its group is shown again.
bool onScreen(const ControlSpec& row, int screen)
{
    return (row.flags & (screen == 1 ? Screen1 : Screen2)) != 0;
}

// The row of editor n (1-3) among three in a row.
static_assert(Editor3Edit == Editor1Edit + 2 && Browse3Button == Browse1Button + 2 && Default3Radio == Default1Radio + 2
              && Label3Edit == Label1Edit + 2);
SettingsPage::Control nth(int n, SettingsPage::Control first)
{
    return static_cast<SettingsPage::Control>(first + n - 1);
}

} // namespace

std::span<const ControlSpec> SettingsPage::rows() { return Rows; }

SettingsPage::SettingsPage(FormServices& form, const ImageList& images, QWidget* parent)
    : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("SettingsPage"));
    m_controls = Controls<Control>(buildControls(this, Rows, images));
    showScreen(1);
    for (int n = 1; n <= 3; ++n) {
        connect(m_controls.get<QPushButton>(nth(n, Browse1Button)), &QPushButton::clicked, this, [this, n] { browse(n); });
        connect(defaultRadio(n), &QRadioButton::clicked, this, [this, n] { makeDefault(n); });
    }
    connect(m_controls.get<QPushButton>(MoreButton), &QPushButton::clicked, this, [this] { showScreen(2); });
    connect(m_controls.get<QPushButton>(BackButton), &QPushButton::clicked, this, [this] { showScreen(1); });
    connect(m_controls.get<QPushButton>(SaveSettingsButton), &QPushButton::clicked, this, [this] { saveSettings(); });
    // The side strips show on the preview at once: it must not show what
    // the package will not hold.
    connect(m_controls.get<QCheckBox>(StripTopCheck), &QCheckBox::toggled, this, [this](bool on) {
        m_form.state().pictures.stripTop = on;
        m_form.requestPreview();
    });
    connect(m_controls.get<QCheckBox>(StripBottomCheck), &QCheckBox::toggled, this, [this](bool on) {
        m_form.state().pictures.stripBottom = on;
        m_form.requestPreview();
    });
    connect(m_controls.get<QCheckBox>(SeparateEidPicCheck), &QCheckBox::toggled, this,
            [this](bool on) { m_form.state().pictures.separateEidPic = on; });
    // The handset view follows at once.
    connect(m_controls.get<QCheckBox>(ScreenColoursCheck), &QCheckBox::toggled, this, [this](bool on) {
        m_form.state().pictures.screenColours = on ? 65536 : 4096;
        m_form.requestPreview();
        m_form.requestStrips();
        m_form.requestMenu();
    });
}

QLineEdit* SettingsPage::editorEdit(int n) const { return m_controls.get<QLineEdit>(nth(n, Editor1Edit)); }
QLineEdit* SettingsPage::labelEdit(int n) const { return m_controls.get<QLineEdit>(nth(n, Label1Edit)); }
QRadioButton* SettingsPage::defaultRadio(int n) const { return m_controls.get<QRadioButton>(nth(n, Default1Radio)); }

QString SettingsPage::iniPath() const
{
    return FindInFolder(m_form.workspace().programFolder(), QStringLiteral("Settings.ini"));
}

void SettingsPage::showScreen(int screen)
{
    for (const ControlSpec& row : Rows) {
        if (row.parent != Top || !(row.flags & (Screen1 | Screen2)))
            continue;
        m_controls.widgets().at(row.id)->setVisible(onScreen(row, screen));
    }
}

QString SettingsPage::editorText(int n) const
{
    return editorEdit(n)->text();
}

void SettingsPage::showSettings(const Settings& s)
{
    for (int n = 1; n <= 3; ++n) {
        editorEdit(n)->setText(s.editors[static_cast<std::size_t>(n - 1)]);
        labelEdit(n)->setText(s.labels[static_cast<std::size_t>(n - 1)]);
    }
    for (int n = 1; n <= 3; ++n) {
        QRadioButton* radio = defaultRadio(n);
        // Auto-exclusive buttons cannot all be cleared one by one.
        radio->setAutoExclusive(false);
        radio->setChecked(n == s.defaultEditor);
        radio->setAutoExclusive(true);
    }
    if (s.defaultEditor >= 1 && s.defaultEditor <= 3)
        m_form.state().defaultEditorPath = editorText(s.defaultEditor);
    m_form.state().pictures = PictureOptions{s.top, s.bottom, s.separateEidPic, s.screenColours};
    showPictureOptions();
    emit labelsChanged(s.labels);
}

void SettingsPage::showPictureOptions()
{
    const PictureOptions options = m_form.state().pictures;
    m_controls.get<QCheckBox>(StripTopCheck)->setChecked(options.stripTop);
    m_controls.get<QCheckBox>(StripBottomCheck)->setChecked(options.stripBottom);
    m_controls.get<QCheckBox>(SeparateEidPicCheck)->setChecked(options.separateEidPic);
    m_controls.get<QCheckBox>(ScreenColoursCheck)->setChecked(options.screenColours == 65536);
}

Settings SettingsPage::currentSettings() const
{
    Settings s;
    for (int n = 1; n <= 3; ++n) {
        s.editors[static_cast<std::size_t>(n - 1)] = editorText(n);
        s.labels[static_cast<std::size_t>(n - 1)] = labelEdit(n)->text();
        if (defaultRadio(n)->isChecked())
            s.defaultEditor = n;
    }
    const PictureOptions& options = m_form.state().pictures;
    s.top = options.stripTop;
    s.bottom = options.stripBottom;
    s.separateEidPic = options.separateEidPic;
    s.screenColours = options.screenColours;
    return s;
}

void SettingsPage::saveSettings()
{
    const Result<QStringList> saved = SaveSettings(iniPath(), currentSettings());
    if (!saved) {
        m_form.report(WarningOutcome(
            QStringLiteral("Не удалось сохранить настройки (%1).").arg(QString::fromStdString(saved.error()))));
    } else if (!saved->isEmpty()) {
        m_form.report(WarningOutcome(QStringLiteral("Не сохранено: %1. В Settings.ini нельзя записать переносы строк "
                                                    "и знаки, которых нет в кодировке Windows-1251; там осталось "
                                                    "прежнее значение. Остальные настройки сохранены.")
                                         .arg(saved->join(QStringLiteral(", ")))));
    }
    emit labelsChanged(ReadLabels(iniPath()));
}

void SettingsPage::browse(int n)
{
#ifdef _WIN32
    const QString filter = QStringLiteral("Executes (*.exe)|*.exe");
#else
    // Programs here carry no extension: show every file, take executables.
    const QString filter = QStringLiteral("Executes (*)|*");
#endif
    if (const auto chosen = m_form.dialogs().openFile(filter)) {
        if (IsEditorProgram(*chosen))
            editorEdit(n)->setText(*chosen);
        else
            m_form.report(WarningOutcome(QStringLiteral("Файл %1 не является программой.").arg(*chosen)));
    }
    m_form.requestPreview();
}

void SettingsPage::makeDefault(int n)
{
    m_form.state().defaultEditorPath = editorText(n);
}

} // namespace kastra
