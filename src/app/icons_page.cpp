#include "app/icons_page.h"

#include "preview/menu_painter.h"
#include "converter/theme_files.h"
#include "app/widgets.h"

#include <QPushButton>

namespace kastra {

namespace {

using enum IconsPage::Control;

// clang-format off
constexpr ControlSpec Rows[] = {
//   id                     name                     kind            parent             x    y    w    h   caption              font       height flags                   colour view
    {MenuFoldersGroup,      "MenuFoldersGroup",      Kind::Group,    Top,               0,   0, 305, 153, u"Menu Folders",     nullptr,     -1, ButtonFace | NoTabStop, 0, NoView},
    {SmallFoldersBox,       "SmallFoldersBox",       Kind::PaintBox, MenuFoldersGroup,  8,  16, 252,  29, nullptr,             nullptr,     -1, HandCursor,             0, PreviewView::SmallFolders},
    {LargeFoldersBox,       "LargeFoldersBox",       Kind::PaintBox, MenuFoldersGroup,  8,  56, 264,  44, nullptr,             nullptr,     -1, HandCursor,             0, PreviewView::LargeFolders},
    {FolderNamesLabel,      "FolderNamesLabel",      Kind::Label,    MenuFoldersGroup, 10, 101,   0,   0,
        u"Камера Органайз Музыка  Игры    Прочее   Настр.",                            "Verdana",   12, Plain,                  0, NoView},
    {LoadMenuFoldersButton, "LoadMenuFoldersButton", Kind::Button,   MenuFoldersGroup, 12, 120,  64,  22, u"Загрузить",        nullptr,     12, Plain,                  0, NoView},
    {SaveMenuFoldersButton, "SaveMenuFoldersButton", Kind::Button,   MenuFoldersGroup, 84, 120,  64,  22, u"Сохранить",        nullptr,     12, Plain,                  0, NoView},
    {Avkon138Box,           "Avkon138Box",           Kind::PaintBox, Top,              64, 165,  44,  44, nullptr,             nullptr,     -1, HandCursor,             0, PreviewView::Avkon138},
    {Avkon136Box,           "Avkon136Box",           Kind::PaintBox, Top,              10, 173,  42,  29, nullptr,             nullptr,     -1, HandCursor,             0, PreviewView::Avkon136},
    {Avkon202Box,           "Avkon202Box",           Kind::PaintBox, Top,             120, 167,  30,  40, nullptr,             nullptr,     -1, HandCursor,             0, PreviewView::Avkon202},
    {StandardFoldersLabel,  "StandardFoldersLabel",  Kind::Label,    Top,               9, 209,   0,   0, u"Стандартные папки", "Verdana",  12, Plain,                  0, NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

} // namespace

std::span<const ControlSpec> IconsPage::rows() { return Rows; }

IconsPage::IconsPage(FormServices& form, const ImageList& images, QWidget* parent) : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("IconsPage"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(toQRgb(IconsPageBackground)));
    setPalette(pal);
    setAutoFillBackground(true);
    m_controls = Controls<Control>(buildControls(this, Rows, images));
    connect(m_controls.get<QPushButton>(LoadMenuFoldersButton), &QPushButton::clicked, this, [this] { load(); });
    connect(m_controls.get<QPushButton>(SaveMenuFoldersButton), &QPushButton::clicked, this, [this] { save(); });
}

void IconsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit shown();
}

void IconsPage::load(const QString& from)
{
    const Outcome out = m_form.record([&] {
        BusyCursor busy;
        return from.isEmpty() ? LoadThemeFile(m_form.workspace(), ThemeFile::MenuFolders)
                              : LoadThemeFileFrom(m_form.workspace(), ThemeFile::MenuFolders, from);
    });
    // A file that is not there (the information box) changed nothing.
    if (out.icon != MessageIcon::Information)
        m_form.requestMenu();
}

void IconsPage::save()
{
    m_form.report([&] {
        BusyCursor busy;
        return SaveThemeFile(m_form.workspace(), ThemeFile::MenuFolders);
    }());
}

} // namespace kastra
