#include "app/help_page.h"

#include "preview/fonts.h"
#include "app/help_texts.h"
#include "app/widgets.h"

#include <QLabel>

namespace kastra {

namespace {

using enum HelpPage::Control;

// clang-format off
constexpr ControlSpec Rows[] = {
//   id              name              kind                 parent      x    y    w    h   caption        font              height flags               colour view
    {HelpPanel,      "HelpPanel",      Kind::Panel,         Top,        0,   0, 300, 190, nullptr,       "Lucida Console",   5, Plain,              0, NoView},
    {CreatedByLabel, "CreatedByLabel", Kind::Label,         HelpPanel,103,   7,   0,   0, u"Created by", "Comic Sans MS",   25, Hidden | Underline, 0, NoView},
    {AboutButton,    "AboutButton",    Kind::PictureButton, Top,        0, 194, 300,  26, u"About",      nullptr,           -1, Flat,               0, NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

} // namespace

std::span<const ControlSpec> HelpPage::rows() { return Rows; }

HelpPage::HelpPage(const ImageList& images, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HelpPage"));
    m_controls = Controls<Control>(buildControls(this, Rows, images));
    auto* created = m_controls.get<QLabel>(CreatedByLabel);
    created->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    created->setAttribute(Qt::WA_TranslucentBackground);
    connect(m_controls.get<PictureButton>(AboutButton), &PictureButton::clicked, this, [this] { showAbout(); });
}

void HelpPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showHelp();
}

// Only the face and the height change; the panel keeps its other settings.
void HelpPage::showHelp()
{
    m_controls.get(CreatedByLabel)->hide();
    auto* panel = m_controls.get<QLabel>(HelpPanel);
    panel->setFont(CellFont(QStringLiteral("MS Sans Serif"), 10));
    panel->setText(HelpText());
}

void HelpPage::showAbout()
{
    m_controls.get(CreatedByLabel)->show();
    auto* panel = m_controls.get<QLabel>(HelpPanel);
    panel->setFont(CellFont(QStringLiteral("Lucida Console"), 5));
    panel->setText(AboutBanner());
}

} // namespace kastra
