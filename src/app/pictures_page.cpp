#include "app/pictures_page.h"

#include "edit/no_signal_mask.h"
#include "edit/schemes.h"
#include "converter/theme_files.h"
#include "app/widgets.h"

#include <QPushButton>
#include <QRadioButton>

namespace kastra {

namespace {

using enum PicturesPage::Control;

// clang-format off
constexpr ControlSpec Rows[] = {
//   id                 name                 kind             parent        x    y    w    h   caption                   font  height flags        colour view
    {DesktopStripBox,   "DesktopStripBox",   Kind::PaintBox,  Top,          2,   8, 176,  12, nullptr,                  nullptr, -1, HandCursor,   0, PreviewView::DesktopStrip},
    {DesktopTopLabel,   "DesktopTopLabel",   Kind::Label,     Top,        192,   8,   0,   0, u"Верхушка десктопа",      nullptr, -1, Plain,        0, NoView},
    {StripRefreshImage, "StripRefreshImage", Kind::ImageView, Top,        179,   8,  11,  14, nullptr,                  nullptr, -1, ImageArrow,   0, NoView},
    {BootStripBox,      "BootStripBox",      Kind::PaintBox,  Top,          2,  24, 176,  12, nullptr,                  nullptr, -1, HandCursor,   0, PreviewView::BootStrip},
    {BootTopLabel,      "BootTopLabel",      Kind::Label,     Top,        192,  24,   0,   0, u"Верхушка загрузки",      nullptr, -1, Plain,        0, NoView},
    {NoSignalBox,       "NoSignalBox",       Kind::PaintBox,  Top,        146,  40,  32,  12, nullptr,                  nullptr, -1, HandCursor,   0, PreviewView::NoSignal},
    {MaskImage,         "MaskImage",         Kind::ImageView, Top,        180,  40,  11,  13, nullptr,                  nullptr, -1, ImageChevron, 0, NoView},
    {NoSignalLabel,     "NoSignalLabel",     Kind::Label,     Top,        192,  40,   0,   0, u"Маска для 'No Signal'",  nullptr, -1, Plain,        0, NoView},
    {SignalStripBox,    "SignalStripBox",    Kind::PaintBox,  Top,          2,  56, 192,  12, nullptr,                  nullptr, -1, HandCursor,   0, PreviewView::SignalStrip},
    {Avkon445Box,       "Avkon445Box",       Kind::PaintBox,  Top,        248,  56,  44,  12, nullptr,                  nullptr, -1, HandCursor,   0, PreviewView::Avkon445},
    {SchemeGroup,       "SchemeGroup",       Kind::Group,     Top,          8,  72, 289,  33, u"Цветовая схема",         nullptr, -1, NoTabStop,    0, NoView},
    {BlueSkyRadio,      "BlueSkyRadio",      Kind::Radio,     SchemeGroup,  6,  15,  64,  12, u"Blue Sky",               nullptr,  8, Plain,        0, NoView},
    {BeachRadio,        "BeachRadio",        Kind::Radio,     SchemeGroup, 88,  15,  51,  12, u"Beach",                  nullptr,  8, Plain,        0, NoView},
    {CityRadio,         "CityRadio",         Kind::Radio,     SchemeGroup,160,  15,  37,  12, u"City",                   nullptr,  8, Plain,        0, NoView},
    {MagentaRadio,      "MagentaRadio",      Kind::Radio,     SchemeGroup,217,  15,  62,  12, u"Magenta",                nullptr,  8, Plain,        0, NoView},
    {LoadGroup,         "LoadGroup",         Kind::Group,     Top,          8, 104, 289,  57, u"Загрузить",              nullptr, -1, NoTabStop,    0, NoView},
    {LoadEidPicButton,  "LoadEidPicButton",  Kind::Button,    LoadGroup,    8,  24,  64,  22, u"EidPic",                 nullptr, -1, Plain,        0, NoView},
    {LoadBackGrButton,  "LoadBackGrButton",  Kind::Button,    LoadGroup,   78,  24,  64,  22, u"BackGr",                 nullptr, -1, Plain,        0, NoView},
    {LoadAvkonButton,   "LoadAvkonButton",   Kind::Button,    LoadGroup,  147,  24,  64,  22, u"Avkon",                  nullptr, -1, Plain,        0, NoView},
    {LoadAvkonExButton, "LoadAvkonExButton", Kind::Button,    LoadGroup,  217,  24,  64,  22, u"AvkonEx",                nullptr, -1, Plain,        0, NoView},
    {SaveGroup,         "SaveGroup",         Kind::Group,     Top,          7, 160, 289,  57, u"Сохранить",              nullptr, -1, NoTabStop,    0, NoView},
    {SaveEidPicButton,  "SaveEidPicButton",  Kind::Button,    SaveGroup,    8,  24,  64,  22, u"EidPic",                 nullptr, -1, Plain,        0, NoView},
    {SaveBackGrButton,  "SaveBackGrButton",  Kind::Button,    SaveGroup,   78,  24,  64,  22, u"BackGr",                 nullptr, -1, Plain,        0, NoView},
    {SaveAvkonButton,   "SaveAvkonButton",   Kind::Button,    SaveGroup,  147,  24,  64,  22, u"Avkon",                  nullptr, -1, Plain,        0, NoView},
    {SaveAvkonExButton, "SaveAvkonExButton", Kind::Button,    SaveGroup,  217,  24,  64,  22, u"AvkonEx",                nullptr, -1, Plain,        0, NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

} // namespace

std::span<const ControlSpec> PicturesPage::rows() { return Rows; }

PicturesPage::PicturesPage(FormServices& form, const ImageList& images, QWidget* parent)
    : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("PicturesPage"));
    m_controls = Controls<Control>(buildControls(this, Rows, images));

    const Control loads[] = {LoadEidPicButton, LoadBackGrButton, LoadAvkonButton, LoadAvkonExButton};
    const Control saves[] = {SaveEidPicButton, SaveBackGrButton, SaveAvkonButton, SaveAvkonExButton};
    const ThemeFile files[] = {ThemeFile::EidPic, ThemeFile::Background, ThemeFile::Avkon, ThemeFile::AvkonEx};
    for (int i = 0; i < 4; ++i) {
        const int file = static_cast<int>(files[i]);
        connect(m_controls.get<QPushButton>(loads[i]), &QPushButton::clicked, this, [this, file] { loadThemeFile(file); });
        connect(m_controls.get<QPushButton>(saves[i]), &QPushButton::clicked, this, [this, file] { saveThemeFile(file); });
    }
    const Control radios[] = {BlueSkyRadio, BeachRadio, CityRadio, MagentaRadio};
    for (int i = 0; i < 4; ++i) {
        const QChar scheme(u'1' + i);
        connect(m_controls.get<QRadioButton>(radios[i]), &QRadioButton::clicked, this, [this, scheme] { selectScheme(scheme); });
    }
    connect(m_controls.get<ImageView>(StripRefreshImage), &ImageView::clicked, this, [this] { applyStrip(); });
    connect(m_controls.get<ImageView>(MaskImage), &ImageView::clicked, this, [this] { makeNoSignalMask(); });
}

void PicturesPage::showScheme()
{
    const Control radios[] = {BlueSkyRadio, BeachRadio, CityRadio, MagentaRadio};
    for (int i = 0; i < 4; ++i) {
        auto* radio = m_controls.get<QRadioButton>(radios[i]);
        // Exclusive buttons cannot all be unchecked by hand.
        radio->setAutoExclusive(false);
        radio->setChecked(m_form.state().schemeChosen && m_form.state().scheme == QChar(u'1' + i));
        radio->setAutoExclusive(true);
    }
}

void PicturesPage::loadThemeFile(int file, const QString& from)
{
    const auto which = static_cast<ThemeFile>(file);
    m_form.record([&] {
        BusyCursor busy;
        if (which == ThemeFile::EidPic)
            m_form.state().stripEdited = false;
        return from.isEmpty() ? LoadThemeFile(m_form.workspace(), which)
                              : LoadThemeFileFrom(m_form.workspace(), which, from);
    });
    switch (which) {
    case ThemeFile::EidPic:
        m_form.requestStrips();
        break;
    case ThemeFile::AvkonEx:
        m_form.requestPreview();
        m_form.requestStrips();
        m_form.clearPreview();
        break;
    default:
        m_form.requestPreview();
        m_form.requestStrips();
        break;
    }
}

void PicturesPage::saveThemeFile(int file)
{
    m_form.report([&] {
        BusyCursor busy;
        return SaveThemeFile(m_form.workspace(), static_cast<ThemeFile>(file));
    }());
    m_form.requestStrips();
}

void PicturesPage::selectScheme(QChar scheme)
{
    m_form.record([&] {
        return SelectScheme(m_form.state(), m_form.workspace(), scheme, m_form.state().pictures.separateEidPic);
    });
    m_form.requestStrips();
    m_form.requestPreview();
}

void PicturesPage::applyStrip()
{
    m_form.record([&] { return ApplyStrip(m_form.state(), m_form.workspace()); });
    m_form.requestPreview();
}

void PicturesPage::makeNoSignalMask()
{
    // No repaint: the new mask shows with the desktop preview's next one.
    m_form.record([&] { return MakeNoSignalMaskSlot(m_form.workspace()); });
}

} // namespace kastra
