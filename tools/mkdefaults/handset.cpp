#include "mkdefaults/handset.h"

#include "handset/aif.h"
#include "mkdefaults/art.h"
#include "handset/e32image.h"
#include "handset/gdr.h"
#include "mkdefaults/pixelfont.h"
#include "handset/rsc.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kastra::art {

namespace {

// The three languages in the order of their files: r01, r03, r16.
enum Lang { English, German, Russian };
constexpr std::array<std::uint16_t, 3> kLanguageCodes = {KLangEnglish, KLangGerman, KLangRussian};
constexpr std::array<const char*, 3> kSuffixes = {"1", "3", "16"};

struct AppTexts {
    std::u16string_view caption;
    std::u16string_view shortCaption;
    std::u16string_view documentName;
    std::u16string_view options;
    std::u16string_view exit;
    std::array<std::u16string_view, 4> menu;       // the Options menu, Exit last
    std::array<std::u16string_view, 3> messages;
};

// veZozi, the menu application.
constexpr std::array<AppTexts, 3> kMenuTexts = {{
    {u"Menu", u"", u"Menu", u"Options", u"Exit",
     {u"Open", u"Grid view", u"List view", u"Exit"},
     {u"Folder is empty", u"Cannot open the application", u"Menu restored"}},
    {u"Men\u00FC", u"", u"Men\u00FC", u"Optionen", u"Beenden",
     {u"\u00D6ffnen", u"Rasteransicht", u"Listenansicht", u"Beenden"},
     {u"Ordner ist leer", u"Anwendung kann nicht ge\u00F6ffnet werden", u"Men\u00FC wiederhergestellt"}},
    {u"Меню", u"", u"Меню", u"Опции", u"Выход",
     {u"Открыть", u"Вид: сетка", u"Вид: список", u"Выход"},
     {u"Папка пуста", u"Не удалось открыть приложение", u"Меню восстановлено"}},
}};

// veZorCtrl, the theme manager.
constexpr std::array<AppTexts, 3> kManagerTexts = {{
    {u"Theme manager", u"Themes", u"Themes", u"Options", u"Exit",
     {u"Apply theme", u"Restore default", u"About", u"Exit"},
     {u"Theme applied", u"Restart the phone to finish", u"Restore the default theme?"}},
    {u"Themen-Manager", u"Themen", u"Themen", u"Optionen", u"Beenden",
     {u"Thema anwenden", u"Standard wiederherstellen", u"Info", u"Beenden"},
     {u"Thema angewendet", u"Telefon neu starten", u"Standardthema wiederherstellen?"}},
    {u"Менеджер", u"Менедж.", u"Темы", u"Опции", u"Выход",
     {u"Применить тему", u"Восстановить", u"О программе", u"Выход"},
     {u"Тема применена", u"Перезагрузите телефон", u"Восстановить стандартную тему?"}},
}};

// Commands of the menu items; the values an application would switch on.
constexpr std::uint32_t KFirstCommand = 0x1000;
constexpr std::uint32_t KExitCommand = 0x100;   // the system's exit command

// The resource ids below follow their order in the file (no NAME, so
// resource k has the id k).
enum ResourceId : std::uint32_t {
    RSignature = 1,
    RDocumentName,
    RAppInfo,
    RMenuBar,
    RMenuPane,
    RSoftKeys,
    RFirstMessage,
};

// One application resource file: the signature, the default document name,
// the application information (menu bar and soft keys), the Options menu,
// the soft keys and the messages.
Result<Bytes> applicationResources(const AppTexts& t)
{
    std::vector<rsc::ResourceBuilder> res(6);
    res[0].dword(4);              // RSS_SIGNATURE: signature
    res[0].dword(RSignature);     // and its own id
    res[1].buf(t.documentName);   // TBUF
    // EIK_APP_INFO: hotkeys, menu bar, tool bar, tool band, soft keys,
    // status pane.
    for (const std::uint32_t link : {0u, std::uint32_t{RMenuBar}, 0u, 0u, std::uint32_t{RSoftKeys}, 0u})
        res[2].dword(link);
    // MENU_BAR: one title holding the menu pane.
    res[3].word(1);
    res[3].dword(RMenuPane);
    res[3].ltext(u"");
    res[3].dword(0);              // flags
    // MENU_PANE: command, cascade, flags, text, extra text per item.
    res[4].word(static_cast<std::uint16_t>(t.menu.size()));
    for (std::size_t i = 0; i < t.menu.size(); ++i) {
        const bool last = i + 1 == t.menu.size();
        res[4].dword(last ? KExitCommand : KFirstCommand + static_cast<std::uint32_t>(i));
        res[4].dword(0);
        res[4].dword(0);
        res[4].ltext(t.menu[i]);
        res[4].ltext(u"");
    }
    // CBA: flags, breadth, related buttons, then two buttons (version, id,
    // text).
    res[5].dword(0);
    res[5].word(0);
    res[5].dword(0);
    res[5].word(2);
    res[5].byte(0);
    res[5].word(0x3000);          // the Options command of the soft key
    res[5].ltext(t.options);
    res[5].byte(0);
    res[5].word(static_cast<std::uint16_t>(KExitCommand));
    res[5].ltext(t.exit);
    std::vector<Bytes> bytes;
    for (const auto& r : res) {
        auto b = r.finish();
        if (!b)
            return fail(b.error());
        bytes.push_back(std::move(*b));
    }
    for (const auto message : t.messages) {
        rsc::ResourceBuilder m;
        m.buf(message);           // TBUF
        auto b = m.finish();
        if (!b)
            return fail(b.error());
        bytes.push_back(std::move(*b));
    }
    return rsc::writeResourceFile(bytes);
}

Result<aif::Icon> aifIcon(App app, bool large)
{
    const Picture picture = quantised(appIcon(app, large), {12, true});
    auto image = toMbm(picture, {12, true});
    if (!image)
        return fail(image.error());
    return aif::Icon{std::move(*image), cornerMask(picture)};
}

Result<Bytes> applicationInfo(std::uint32_t uid, App app, const std::array<AppTexts, 3>& texts)
{
    aif::AppInfo info;
    info.appUid = uid;
    for (std::size_t l = 0; l < texts.size(); ++l)
        info.captions.push_back({kLanguageCodes[l], std::u16string(texts[l].caption)});
    for (const bool large : {false, true}) {
        auto icon = aifIcon(app, large);
        if (!icon)
            return fail(icon.error());
        info.icons.push_back(std::move(*icon));
    }
    return aif::writeAif(info);
}

// ARM code of the images: "mov r0, #0" and "mov pc, lr", which return
// KErrNone (or a null pointer) to whoever called.
constexpr std::array<std::uint32_t, 2> kReturnZero = {0xE3A00000, 0xE1A0F00E};

Bytes words(std::initializer_list<std::uint32_t> ws)
{
    Bytes out;
    ByteWriter w(out);
    for (const std::uint32_t v : ws)
        w.u32(v);
    return out;
}

Bytes note(const std::string& text)
{
    Bytes out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

// The date the images carry: fixed, so that every build writes the same bytes.
std::int64_t buildTime()
{
    return e32::imageTime(2004, 6, 1);
}

} // namespace

Result<Bytes> utilityProgram(const std::string& name)
{
    e32::ImageSpec spec;
    spec.uids = {e32::KExecutableImageUid, 0, 0};
    spec.text = words({kReturnZero[0], kReturnZero[1]});
    spec.constData = note("Kastra theme builder placeholder for " + name + ": returns at once.");
    spec.entryPoint = 0;
    spec.time = buildTime();
    return e32::writeImage(spec);
}

Result<Bytes> applicationImage(std::uint32_t appUid, const std::string& name)
{
    e32::ImageSpec spec;
    spec.uids = {e32::KDynamicLibraryUid, e32::KUidApp, appUid};
    // Entry point (the DLL entry, returning KErrNone) at 0, ordinal 1 (the
    // application factory, returning no application) at 8.
    spec.text = words({kReturnZero[0], kReturnZero[1], kReturnZero[0], kReturnZero[1]});
    spec.constData = note("Kastra theme builder placeholder for " + name + ": creates no application.");
    spec.exports = {8};
    spec.entryPoint = 0;
    spec.time = buildTime();
    return e32::writeImage(spec);
}

Result<Bytes> fontStore()
{
    const PixelFont& font = PixelFont::standard();
    gdr::FontBitmap bitmap;
    bitmap.uid = KFontBitmapUid;
    bitmap.isProportional = 1;
    bitmap.cellHeight = PixelFont::Height;
    bitmap.ascent = PixelFont::Ascent;
    int maxWidth = 0;
    for (const FontGlyph& fg : font.glyphs()) {
        gdr::Glyph g;
        g.code = fg.code;
        int first = PixelFont::Height;
        int last = -1;
        for (int r = 0; r < PixelFont::Height; ++r)
            if (fg.rows[r] != 0) {
                first = std::min(first, r);
                last = std::max(last, r);
            }
        const int move = fg.width + 1;
        g.move = static_cast<std::int8_t>(move);
        g.leftAdjust = 0;
        if (last < 0) {
            // Blank (the space): no rows, only an advance.
            g.rightAdjust = static_cast<std::int8_t>(move);
            g.height = 0;
            g.ascent = 0;
        } else {
            g.rightAdjust = 1;
            g.height = last - first + 1;
            g.ascent = static_cast<std::int8_t>(PixelFont::Ascent - first);
            for (int r = first; r <= last; ++r)
                for (int x = 0; x < fg.width; ++x)
                    g.pixels.push_back(static_cast<std::uint8_t>((fg.rows[r] >> x) & 1u));
        }
        maxWidth = std::max(maxWidth, move);
        bitmap.glyphs.push_back(std::move(g));
    }
    bitmap.maxCharWidth = static_cast<std::int8_t>(maxWidth);
    bitmap.maxNormalCharWidth = static_cast<std::int8_t>(maxWidth);

    gdr::FontStore store;
    store.version = gdr::KFnttran7650Version;
    store.collectionUid = KFontCollectionUid;
    store.copyright.push_back(u"Kastra pixel font, drawn for the Kastra theme builder");
    store.fontBitmaps.push_back(std::move(bitmap));
    store.typefaces.push_back({u"Kastra", 1, {{KFontBitmapUid, 1, 1}}});
    return gdr::writeFontStore(store);
}

Result<std::vector<NamedPayload>> handsetPayloads()
{
    std::vector<NamedPayload> out;
    auto add = [&](std::string name, Result<Bytes> bytes) -> Result<void> {
        if (!bytes)
            return fail(name + ": " + bytes.error());
        out.push_back({std::move(name), std::move(*bytes)});
        return {};
    };
    for (std::size_t l = 0; l < 3; ++l) {
        const std::string suffix = kSuffixes[l];
        Result<void> r = add("MENCR" + suffix, rsc::writeCaptionFile({std::u16string(kMenuTexts[l].caption),
                                                                      std::u16string(kMenuTexts[l].shortCaption)}));
        if (r)
            r = add("APPCR" + suffix, rsc::writeCaptionFile({std::u16string(kManagerTexts[l].caption),
                                                             std::u16string(kManagerTexts[l].shortCaption)}));
        if (r)
            r = add("MENR" + suffix, applicationResources(kMenuTexts[l]));
        if (r)
            r = add("APPR" + suffix, applicationResources(kManagerTexts[l]));
        if (!r)
            return fail(r.error());
    }
    for (auto r : {add("MENAIF", applicationInfo(KMenuAppUid, App::Menu, kMenuTexts)),
                   add("APPAIF", applicationInfo(KManagerAppUid, App::Manager, kManagerTexts)),
                   add("MENAPP", applicationImage(KMenuAppUid, "veZozi")),
                   add("APPAPP", applicationImage(KManagerAppUid, "veZorCtrl")),
                   add("DEL_F", utilityProgram("del_fonts")), add("DEL_L", utilityProgram("del_logo")),
                   add("RES", utilityProgram("restorez")), add("RES_AV", utilityProgram("restorez_Avkon")),
                   add("FONT", fontStore())})
        if (!r)
            return fail(r.error());
    return out;
}

} // namespace kastra::art
