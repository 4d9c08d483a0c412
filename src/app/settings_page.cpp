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

// clang-format off
const ControlSpec Rows[] = {
//   name                   kind          parent         x    y    w    h   caption                        font   height flags                 colour
    {"EditorsLabel",        Kind::Label,  nullptr,       8,   6,   0,   0, u"Внешние редакторы",           nullptr, -1, Screen1,              0},
    {"Editor1Edit",         Kind::Edit,   nullptr,       8,  24, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"Editor2Edit",         Kind::Edit,   nullptr,       8,  48, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"Editor3Edit",         Kind::Edit,   nullptr,       8,  72, 185,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"Browse1Button",       Kind::Button, nullptr,     194,  23,  25,  23, u"...",                         nullptr, -1, Screen1 | Bold,       0},
    {"Browse2Button",       Kind::Button, nullptr,     194,  48,  25,  22, u"...",                         nullptr, -1, Screen1 | Bold,       0},
    {"Browse3Button",       Kind::Button, nullptr,     194,  72,  25,  22, u"...",                         nullptr, -1, Screen1 | Bold,       0},
    {"Default1Radio",       Kind::Radio,  nullptr,     224,  24,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple},
    {"Default2Radio",       Kind::Radio,  nullptr,     224,  48,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple},
    {"Default3Radio",       Kind::Radio,  nullptr,     224,  72,   0,   0, u"Default",                     nullptr, -1, Screen1,              Purple},
    {"LabelsGroup",         Kind::Group,  nullptr,       8, 120, 185,  97, u"Подписи",                     nullptr, -1, Screen1 | NoTabStop,  0},
    {"Label1Edit",          Kind::Edit,   "LabelsGroup", 8,  19, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"Label2Edit",          Kind::Edit,   "LabelsGroup", 8,  43, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"Label3Edit",          Kind::Edit,   "LabelsGroup", 8,  67, 167,  22, nullptr,                       nullptr, -1, Screen1 | WindowBack, Purple},
    {"MoreButton",          Kind::Button, nullptr,     216, 160,  81,  25, u"Еще ->",                      nullptr, -1, Screen1,              0},
    {"SideStripsGroup",     Kind::Group,  nullptr,       8,   8, 145,  89, u"Боковые полоски",             nullptr, -1, Screen2 | NoTabStop,  0},
    {"StripTopCheck",       Kind::CheckBox, "SideStripsGroup", 16, 24, 0, 0, u"Сверху",                    nullptr, -1, Screen2,              0},
    {"StripBottomCheck",    Kind::CheckBox, "SideStripsGroup", 16, 56, 0, 0, u"Снизу",                     nullptr, -1, Screen2,              0},
    {"SeparateEidPicCheck", Kind::CheckBox, nullptr,     8, 104,   0,   0, u"Разные картинки для EidPic",  nullptr, -1, Screen2,              0},
    {"BackButton",          Kind::Button, nullptr,     216, 160,  81,  25, u"<- Назад",                    nullptr, -1, Screen2,              0},
    {"SaveSettingsButton",  Kind::Button, nullptr,     216, 192,  81,  25, u"Сохранить",                   nullptr, -1, Plain,                0},
};
// clang-format on

// Whether a row belongs to the screen. Children of a group carry their
// group's screen, but the switch leaves them alone: a hidden child would
// stay hidden when its group is shown again.
bool onScreen(const ControlSpec& row, int screen)
{
    return (row.flags & (screen == 1 ? Screen1 : Screen2)) != 0;
}

const char* editName(int n) { return n == 1 ? "Editor1Edit" : n == 2 ? "Editor2Edit" : "Editor3Edit"; }
const char* labelName(int n) { return n == 1 ? "Label1Edit" : n == 2 ? "Label2Edit" : "Label3Edit"; }
const char* radioName(int n) { return n == 1 ? "Default1Radio" : n == 2 ? "Default2Radio" : "Default3Radio"; }

} // namespace

std::span<const ControlSpec> SettingsPage::rows() { return Rows; }

SettingsPage::SettingsPage(FormServices& form, const ImageList& images, QWidget* parent)
    : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("SettingsPage"));
    buildControls(this, Rows, images, m_controls);
    showScreen(1);
    for (int n = 1; n <= 3; ++n) {
        connect(m_controls.get<QPushButton>(n == 1 ? "Browse1Button" : n == 2 ? "Browse2Button" : "Browse3Button"),
                &QPushButton::clicked, this, [this, n] { browse(n); });
        connect(m_controls.get<QRadioButton>(radioName(n)), &QRadioButton::clicked, this, [this, n] { makeDefault(n); });
    }
    connect(m_controls.get<QPushButton>("MoreButton"), &QPushButton::clicked, this, [this] { showScreen(2); });
    connect(m_controls.get<QPushButton>("BackButton"), &QPushButton::clicked, this, [this] { showScreen(1); });
    connect(m_controls.get<QPushButton>("SaveSettingsButton"), &QPushButton::clicked, this, [this] { saveSettings(); });
}

QString SettingsPage::iniPath() const
{
    return FindInFolder(m_form.workspace().programFolder, QStringLiteral("Settings.ini"));
}

void SettingsPage::showScreen(int screen)
{
    for (const ControlSpec& row : Rows) {
        if (row.parent || !(row.flags & (Screen1 | Screen2)))
            continue;
        if (QWidget* w = m_controls[QString::fromLatin1(row.name)])
            w->setVisible(onScreen(row, screen));
    }
}

QString SettingsPage::editorText(int n) const
{
    return m_controls.get<QLineEdit>(editName(n))->text();
}

void SettingsPage::showSettings(const Settings& s)
{
    for (int n = 1; n <= 3; ++n) {
        m_controls.get<QLineEdit>(editName(n))->setText(s.editors[static_cast<std::size_t>(n - 1)]);
        m_controls.get<QLineEdit>(labelName(n))->setText(s.labels[static_cast<std::size_t>(n - 1)]);
    }
    for (int n = 1; n <= 3; ++n) {
        auto* radio = m_controls.get<QRadioButton>(radioName(n));
        // Auto-exclusive buttons cannot all be cleared one by one.
        radio->setAutoExclusive(false);
        radio->setChecked(n == s.defaultEditor);
        radio->setAutoExclusive(true);
    }
    if (s.defaultEditor >= 1 && s.defaultEditor <= 3)
        m_form.state().defaultEditorPath = editorText(s.defaultEditor);
    m_controls.get<QCheckBox>("StripTopCheck")->setChecked(s.top);
    m_controls.get<QCheckBox>("StripBottomCheck")->setChecked(s.bottom);
    m_controls.get<QCheckBox>("SeparateEidPicCheck")->setChecked(s.separateEidPic);
    emit labelsChanged(s.labels);
}

Settings SettingsPage::currentSettings() const
{
    Settings s;
    for (int n = 1; n <= 3; ++n) {
        s.editors[static_cast<std::size_t>(n - 1)] = editorText(n);
        s.labels[static_cast<std::size_t>(n - 1)] = m_controls.get<QLineEdit>(labelName(n))->text();
        if (m_controls.get<QRadioButton>(radioName(n))->isChecked())
            s.defaultEditor = n;
    }
    s.top = stripTop();
    s.bottom = stripBottom();
    s.separateEidPic = separateEidPic();
    return s;
}

void SettingsPage::saveSettings()
{
    const Result<void> saved = SaveSettings(iniPath(), currentSettings());
    if (!saved) {
        m_form.dialogs().message(m_form.caption(),
            QStringLiteral("Не удалось сохранить настройки (%1).").arg(QString::fromStdString(saved.error())),
            MessageIcon::Warning);
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
            m_controls.get<QLineEdit>(editName(n))->setText(*chosen);
        else
            m_form.dialogs().message(m_form.caption(),
                QStringLiteral("Файл %1 не является программой.").arg(*chosen), MessageIcon::Warning);
    }
    m_form.requestPreview();
}

void SettingsPage::makeDefault(int n)
{
    m_form.state().defaultEditorPath = editorText(n);
}

bool SettingsPage::stripTop() const { return m_controls.get<QCheckBox>("StripTopCheck")->isChecked(); }
bool SettingsPage::stripBottom() const { return m_controls.get<QCheckBox>("StripBottomCheck")->isChecked(); }
bool SettingsPage::separateEidPic() const { return m_controls.get<QCheckBox>("SeparateEidPicCheck")->isChecked(); }
void SettingsPage::setStripBottom(bool on) { m_controls.get<QCheckBox>("StripBottomCheck")->setChecked(on); }

} // namespace kastra
