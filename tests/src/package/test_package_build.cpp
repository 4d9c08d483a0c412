// The build behind the "Build" button, end to end: payloads, script,
// bmconv and makesis, and the delivered package read back with our own SIS
// reader. Every failure must end in the error message and leave a package
// delivered before untouched.
#include "converter/converter.h"
#include "converter/theme_files.h"
#include "package/build.h"
#include "package/loaders.h"
#include "package/package_check.h"
#include "workspace/payloads.h"
#include "package_fixture.h"
#include "platform/fileops.h"
#include "package/package_script.h"

#include "handset/aif.h"
#include "handset/gdr.h"
#include "mbm/mbm.h"
#include "sis/sis_extract.h"
#include "sis/sis_reader.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <vector>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

BuildInputs inputs(const QString& name = QStringLiteral("Тема"), const QString& file = QStringLiteral("MyTheme"))
{
    BuildInputs in;
    in.themeName = name;
    in.fileName = file;
    in.greeting = QStringLiteral("Привет\nмир");
    return in;
}

struct Built {
    BuildResult result;
    std::vector<int> progress;
};

Built build(const ThemeWorkspace& t, const BuildInputs& in)
{
    Built b;
    b.result = BuildPackage(t.ws, in, [&b](int v) { b.progress.push_back(v); });
    return b;
}

Bytes fileBytes(const fs::path& p)
{
    return readBytes(p);
}

void writeScript(const fs::path& p, const std::string& body)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n" << body << "\n";
    out.close();
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add);
}

Bytes tinyFont(std::uint32_t uid)
{
    gdr::FontStore store;
    gdr::FontBitmap font;
    font.uid = uid;
    font.cellHeight = 2;
    font.ascent = 2;
    font.maxCharWidth = 1;
    font.maxNormalCharWidth = 1;
    gdr::Glyph g;
    g.code = 'A';
    g.ascent = 2;
    g.move = 1;
    g.height = 2;
    g.pixels = {1, 0};
    font.glyphs.push_back(g);
    store.fontBitmaps.push_back(font);
    store.typefaces.push_back({u"Tiny", 1, {{uid, 1, 1}}});
    auto bytes = gdr::writeFontStore(store);
    EXPECT_TRUE(bytes) << bytes.error();
    return bytes ? *bytes : Bytes{};
}

Bytes tinyAif(std::uint32_t appUid, const std::u16string& caption)
{
    aif::AppInfo info;
    info.appUid = appUid;
    info.captions.push_back({1, caption});
    auto bytes = aif::writeAif(info);
    EXPECT_TRUE(bytes) << bytes.error();
    return bytes ? *bytes : Bytes{};
}

// The UID of the application image the build installs for payload name.
std::uint32_t payloadAppUid(Payload name)
{
    const auto image = payloadBytes(name, {});
    EXPECT_TRUE(image);
    const auto uid = aif::applicationUid(byteSpan(image ? *image : QByteArray()));
    EXPECT_TRUE(uid) << uid.error();
    return uid ? *uid : 0;
}

} // namespace

TEST(PackageBuild, DeliversThePackageOfTheScript)
{
    ThemeWorkspace t;
    const Built b = build(t, inputs());
    ASSERT_TRUE(b.result.outcome.ok) << b.result.outcome.text.toStdString();
    EXPECT_EQ(b.result.outcome.title, QStringLiteral("Готово"));
    EXPECT_EQ(b.result.outcome.text, QStringLiteral("SIS файл создан"));
    EXPECT_EQ(b.result.outcome.icon, MessageIcon::Information);

    std::vector<int> expected;
    for (int i = 1; i <= 22; ++i)
        expected.push_back(i);
    // The bar goes back to 0 only after the outcome box, which is the
    // window's part.
    for (int v : {23, 25, 35, 45, 55, 60, 70, 85, 100})
        expected.push_back(v);
    EXPECT_EQ(b.progress, expected);

    const fs::path delivered = t.programFolder() / "MyTheme.sis";
    EXPECT_EQ(b.result.deliveredPath, q(delivered));
    const Bytes sis = fileBytes(delivered);
    const auto package = sis::readSis(sis);
    ASSERT_TRUE(package) << package.error();
    EXPECT_TRUE(package->checksumOk);
    EXPECT_TRUE(package->uidChecksumOk);
    EXPECT_EQ(package->uid1, 0x000F4240u);
    EXPECT_TRUE(package->problems.empty());

    // The 27 files in script order with their destinations and kinds.
    const auto files = packageScriptFiles();
    ASSERT_EQ(package->records.size(), files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        const sis::SisRecord& r = package->records[k];
        EXPECT_TRUE(r.damage.empty()) << k;
        std::string destination = files[k].destination;
        if (k == 6)
            destination += std::to_string(b.result.fontNumber) + ".gdr";
        const std::u16string want = QString::fromStdString(destination).toStdU16String();
        if (k > 0) {
            EXPECT_EQ(r.destination, want) << k;
        }
        const std::string options = files[k].options;
        const std::uint32_t kind = options.find("FT") != std::string::npos   ? sis::kFileText
                                   : options.find("FR") != std::string::npos ? sis::kFileRun
                                                                             : sis::kFileStandard;
        EXPECT_EQ(r.fileType, kind) << k;
    }

    // The script on disk is the script, the welcome text the box's.
    const auto script = PackageScript(QStringLiteral("Тема"), b.result.fontNumber);
    ASSERT_TRUE(script);
    EXPECT_EQ(fileBytes(t.sis() / "MyTheme.pkg"), Bytes(script->begin(), script->end()));
    const QByteArray hello = HelloText(QStringLiteral("Привет\nмир"));
    EXPECT_EQ(fileBytes(t.sis() / "Hello.txt"), Bytes(hello.begin(), hello.end()));

    // The five theme files match the catalogue, and the banners and the
    // background are the slots' pixels.
    const auto check = CheckPackage(sis);
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->problems.isEmpty()) << check->problems.join(u'\n').toStdString();
    const auto eid = packageFileData(sis, QStringLiteral("EidPic.mbm"));
    ASSERT_TRUE(eid);
    const auto banners = mbm::readMbm(*eid);
    ASSERT_TRUE(banners);
    ASSERT_EQ(banners->size(), 5u);
    const Bitmap top2 = patternPicture(176, 68, 12);
    for (int y = 0; y < 68; ++y)
        for (int x = 0; x < 176; ++x) {
            const mbm::Rgb p = (*banners)[2].pixel(x, y);
            ASSERT_EQ(rgb(p.r, p.g, p.b), top2.getPixel(x, y)) << x << "," << y;
        }
    // The veZorCtrl resource files are the payloads the script names.
    const auto r16 = packageFileData(sis, QStringLiteral("veZorCtrl.r16"));
    ASSERT_TRUE(r16);
    EXPECT_EQ(*r16, fileBytes(t.sis() / "veZorCtrl.r16"));
}

TEST(PackageBuild, NameChecksWriteNothing)
{
    ThemeWorkspace t;
    struct Case {
        const char16_t* name;
        const char16_t* file;
        const char16_t* message;
    };
    const Case cases[] = {
        {u"", u"ab", u"Не введено название либо имя файла"},
        {u"Тема", u"", u"Не введено название либо имя файла"},
        {u"", u"", u"Не введено название либо имя файла"},
        {u"Тема", u"a", u"Имя файла должно быть минимум два символа"},
        {u"say \"hi\"", u"ab", u"Название темы не должно содержать кавычек и переводов строки"},
        {u"two\nlines", u"ab", u"Название темы не должно содержать кавычек и переводов строки"},
        {u"Тема", u"../up", u"Имя файла может содержать только латинские буквы, цифры и знак подчёркивания"},
        {u"Тема", u"my theme", u"Имя файла может содержать только латинские буквы, цифры и знак подчёркивания"},
    };
    for (const Case& c : cases) {
        const Built b = build(t, inputs(QString::fromUtf16(c.name), QString::fromUtf16(c.file)));
        EXPECT_FALSE(b.result.outcome.ok);
        EXPECT_EQ(b.result.outcome.text, QString::fromUtf16(c.message));
        EXPECT_EQ(b.result.outcome.title, QString::fromUtf16(WindowCaption));
        EXPECT_EQ(b.result.outcome.icon, MessageIcon::Warning);
        EXPECT_TRUE(b.progress.empty());
        EXPECT_TRUE(fs::is_empty(t.sis())) << QString::fromUtf16(c.file).toStdString();
    }
    // Two characters are enough.
    EXPECT_TRUE(build(t, inputs(QStringLiteral("x"), QStringLiteral("ab"))).result.outcome.ok);
}

TEST(PackageBuild, LoadedFontAndAifFilesAreKeptAndTheScriptStays)
{
    ThemeWorkspace t;
    const fs::path font = t.base() / "mine.gdr";
    const fs::path menuAif = t.base() / "menu.aif";
    const fs::path appAif = t.base() / "app.aif";
    writeBytes(font, tinyFont(0x10005678));
    writeBytes(menuAif, tinyAif(payloadAppUid(Payload::MenuApp), u"Меню!"));
    writeBytes(appAif, tinyAif(payloadAppUid(Payload::AppApp), u"Ctrl"));
    ASSERT_TRUE(LoadFont(t.ws, q(font)).ok);
    ASSERT_TRUE(LoadMenuAif(t.ws, q(menuAif)).ok);
    ASSERT_TRUE(LoadAppAif(t.ws, q(appAif)).ok);

    BuildInputs in = inputs();
    in.fontNumber = 321;
    for (int round = 0; round < 2; ++round) {
        const Built b = build(t, in);
        ASSERT_TRUE(b.result.outcome.ok) << b.result.outcome.text.toStdString();
        const Bytes sis = fileBytes(t.programFolder() / "MyTheme.sis");
        EXPECT_EQ(packageFileData(sis, QStringLiteral("321.gdr")), fileBytes(font)) << round;
        EXPECT_EQ(packageFileData(sis, QStringLiteral("veZozi.aif")), fileBytes(menuAif)) << round;
        EXPECT_EQ(packageFileData(sis, QStringLiteral("veZorCtrl.aif")), fileBytes(appAif)) << round;
        const auto script = PackageScript(QStringLiteral("Тема"), 321);
        EXPECT_EQ(fileBytes(t.sis() / "MyTheme.pkg"), Bytes(script->begin(), script->end()));
    }
}

// Each .aif button takes only the file of its own application: the other
// one's, or a stranger's, is refused by name and UID and the package
// folder keeps what it had.
TEST(PackageBuild, AnAifOfAnotherApplicationIsRefused)
{
    ThemeWorkspace t;
    const std::uint32_t menu = payloadAppUid(Payload::MenuApp);
    const std::uint32_t manager = payloadAppUid(Payload::AppApp);
    ASSERT_NE(menu, manager);
    struct Case {
        LoadedFile button;
        std::uint32_t uid;
        const char16_t* names;   // what the message names, in its order
    };
    const Case cases[] = {
        {LoadedFile::MenuAif, manager, u"veZorCtrl|«Загр. veZozi»|veZozi|«Загр. veZor»"},
        {LoadedFile::AppAif, menu, u"veZozi|«Загр. veZor»|veZorCtrl|«Загр. veZozi»"},
        {LoadedFile::MenuAif, 0x0BADF00D, u"0x0BADF00D|«Загр. veZozi»|veZozi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uid);
        const fs::path chosen = t.base() / "chosen.aif";
        writeBytes(chosen, tinyAif(c.uid, u"X"));
        const Outcome out = LoadPackageFile(t.ws, c.button, q(chosen));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.icon, MessageIcon::Warning);
        qsizetype at = 0;
        for (const QString& name : QString::fromUtf16(c.names).split(u'|')) {
            at = out.text.indexOf(name, at);
            EXPECT_GE(at, 0) << name.toStdString() << " in " << out.text.toStdString();
        }
        EXPECT_FALSE(fs::exists(t.sis() / loadedFileName(c.button).toStdString()));
    }
}

TEST(PackageBuild, DefaultFontIsWrittenWhenNoneWasLoaded)
{
    ThemeWorkspace t;
    ASSERT_TRUE(build(t, inputs()).result.outcome.ok);
    const auto font = payloadBytes(Payload::Font, {});
    ASSERT_TRUE(font);
    EXPECT_EQ(fileBytes(t.sis() / "kde.gdr"), Bytes(font->begin(), font->end()));
}

// Every way a tool can fail ends in the error message, and the package a
// build delivered before stays exactly as it was.
TEST(PackageBuild, FailuresNeverReportSuccessAndKeepTheOldPackage)
{
    struct Case {
        const char* what;
        const char* payload;   // tool replaced through the override folder
        const char* script;
    };
    const Case cases[] = {
        {"bmconv exits 1", "EXTPROGS/BMC", "exit 1"},
        {"bmconv writes nothing", "EXTPROGS/BMC", "exit 0"},
        {"makesis exits 1", "EXTPROGS/SIS", "exit 1"},
        {"makesis writes nothing", "EXTPROGS/SIS", "exit 0"},
        {"makesis writes a package and fails", "EXTPROGS/SIS", "echo x > \"$(basename \"$1\" .pkg).SIS\"; exit 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ThemeWorkspace t;
        ASSERT_TRUE(build(t, inputs()).result.outcome.ok);
        const fs::path delivered = t.programFolder() / "MyTheme.sis";
        const Bytes before = fileBytes(delivered);
        const fs::path override = t.programFolder() / "payloads" / c.payload;
        fs::create_directories(override.parent_path());
        writeScript(override, c.script);
        t.importPicture(2);
        fs::remove(t.sis() / "MyTheme.SIS");

        const Built b = build(t, inputs());
        EXPECT_FALSE(b.result.outcome.ok);
        EXPECT_EQ(b.result.outcome.title, QStringLiteral("Ошибка"));
        EXPECT_TRUE(b.result.outcome.text.startsWith(QStringLiteral("Во время создания SIS файла произошла ошибка\n")))
            << b.result.outcome.text.toStdString();
        EXPECT_EQ(b.result.outcome.icon, MessageIcon::Error);
        ASSERT_FALSE(b.progress.empty());
        EXPECT_EQ(fileBytes(delivered), before);
        if (std::string(c.what).rfind("bmconv", 0) == 0) {
            EXPECT_FALSE(fs::exists(t.sis() / "MyTheme.SIS")) << "makesis must not run after a failed pack";
        }
    }
}

// The delivered package is the build's own or the build says it failed: a
// copy into the delivery folder that fails is reported, and a link planted
// under the package's name (or a fixed temporary name beside it) is replaced,
// never written through.
TEST(PackageBuild, DeliveryIsCheckedAndNeverGoesThroughALink)
{
    struct Case {
        const char* what;
        std::function<void(const ThemeWorkspace&, BuildInputs&)> plant;
        bool succeeds;
    };
    const Case cases[] = {
        {"a folder in the way of the package",
         [](const ThemeWorkspace& t, BuildInputs&) { fs::create_directories(t.programFolder() / "MyTheme.sis" / "x"); },
         false},
        {"the delivery folder is gone",
         [](const ThemeWorkspace& t, BuildInputs& in) { in.deliveryFolder = q(t.base() / "gone"); }, false},
        {"a link under the package's name",
         [](const ThemeWorkspace& t, BuildInputs&) {
             fs::create_symlink(t.base() / "victim", t.programFolder() / "MyTheme.sis");
         },
         true},
        {"links under fixed temporary names",
         [](const ThemeWorkspace& t, BuildInputs&) {
             for (const char* name : {"MyTheme.sis.copy-tmp", ".MyTheme.sis.tmp"})
                 fs::create_symlink(t.base() / "victim", t.programFolder() / name);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ThemeWorkspace t;
        writeBytes(t.base() / "victim", Bytes{5, 5});
        BuildInputs in = inputs();
        c.plant(t, in);
        const Built b = build(t, in);
        EXPECT_EQ(b.result.outcome.ok, c.succeeds) << b.result.outcome.text.toStdString();
        EXPECT_EQ(b.result.outcome.title, c.succeeds ? QStringLiteral("Готово") : QStringLiteral("Ошибка"));
        EXPECT_EQ(readBytes(t.base() / "victim"), (Bytes{5, 5}));
        if (c.succeeds) {
            const fs::path delivered = t.programFolder() / "MyTheme.sis";
            EXPECT_FALSE(fs::is_symlink(delivered));
            EXPECT_EQ(readBytes(delivered), readBytes(t.sis() / "MyTheme.SIS"));
        }
    }
}

namespace {

// Makes a folder refuse new names, also to root (which write permission does
// not stop): its mode and, where the file system has it, the immutable flag.
// False when neither holds; unlocking is always true.
bool lockFolder(const fs::path& folder, bool locked)
{
    // An immutable folder's mode cannot change: the mode goes first when
    // locking and last when unlocking.
    if (locked)
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = locked ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            (void)::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }
    if (!locked) {
        fs::permissions(folder, fs::perms::owner_all);
        return true;
    }
    const fs::path probe = folder / "probe";
    const int made = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (made < 0)
        return true;
    ::close(made);
    fs::remove(probe);
    return false;
}

} // namespace

// An older package of the name in the delivery folder, and the copy of the
// new one fails: a failure, never the old package passed off as the new.
TEST(PackageBuild, FailedDeliveryOverAnOlderPackageIsAFailure)
{
    ThemeWorkspace t;
    BuildInputs in = inputs();
    const fs::path folder = t.base() / "deliver";
    fs::create_directories(folder);
    in.deliveryFolder = q(folder);
    writeBytes(folder / "MyTheme.sis", Bytes{'o', 'l', 'd'});
    if (!lockFolder(folder, true)) {
        lockFolder(folder, false);
        GTEST_SKIP() << "this file system lets every user create files in any folder";
    }
    const Built b = build(t, in);
    lockFolder(folder, false);
    EXPECT_FALSE(b.result.outcome.ok);
    EXPECT_EQ(b.result.outcome.title, QStringLiteral("Ошибка"));
    EXPECT_TRUE(b.result.deliveredPath.isEmpty());
    EXPECT_EQ(readBytes(folder / "MyTheme.sis"), (Bytes{'o', 'l', 'd'}));
}

namespace {

// Every file below a folder with its time of last change: what a refused
// step must leave exactly as it was.
std::map<fs::path, fs::file_time_type> tree(const fs::path& folder)
{
    std::map<fs::path, fs::file_time_type> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        out[e.path()] = e.last_write_time();
    return out;
}

void firstStart(ThemeWorkspace& t)
{
    for (const char* slot : {"Top1.bmp", "Top2.bmp", "Top3.bmp", "Top4.bmp", "Back.bmp"})
        fs::remove(t.root() / slot);
}

// An import with separate banners: the picture goes into the current
// scheme's banner only; the other three banners were never shown.
void importIntoOneBanner(ThemeWorkspace& t)
{
    t.importPicture(1);
    for (const char* slot : {"Top2.bmp", "Top3.bmp", "Top4.bmp"})
        fs::remove(t.root() / slot);
}

struct Outcomes {
    bool ok;
    QString text;
    std::vector<int> progress;
};

// The build and the two saves that pack the pictures a start lacks.
const std::pair<const char*, std::function<Outcomes(ThemeWorkspace&)>> kFirstSteps[] = {
    {"build",
     [](ThemeWorkspace& t) {
         BuildInputs in = inputs();
         in.fontNumber = 4321;
         const Built b = build(t, in);
         return Outcomes{b.result.outcome.ok, b.result.outcome.text, b.progress};
     }},
    {"save backgroundimage.mbm",
     [](ThemeWorkspace& t) {
         const Outcome out = SaveThemeFile(t.ws, ThemeFile::Background);
         return Outcomes{out.ok, out.text, {}};
     }},
    {"save EidPic.mbm",
     [](ThemeWorkspace& t) {
         const Outcome out = SaveThemeFile(t.ws, ThemeFile::EidPic);
         return Outcomes{out.ok, out.text, {}};
     }},
};

} // namespace

TEST(PackageBuild, RightAfterAStartTheMissingBackgroundIsNamedAndNothingIsWritten)
{
    ThemeWorkspace t;
    firstStart(t);
    // A converter that only notes that it ran, in the root and as the
    // payload the build writes.
    const fs::path ran = t.base() / "bmconv-ran";
    const std::string recorder = "echo ran >> '" + ran.string() + "'; exit 1";
    writeScript(t.root() / "bmconv.exe", recorder);
    fs::create_directories(t.programFolder() / "payloads" / "EXTPROGS");
    writeScript(t.programFolder() / "payloads" / "EXTPROGS" / "BMC", recorder);
    const auto before = tree(t.base());

    const QString missing = QStringLiteral(
        "Нет картинки фона рабочего стола (Back.bmp).\n"
        "Нажмите «Загрузить картинку» и выберите картинку, или загрузите backgroundimage.mbm кнопкой «BackGr» в "
        "группе «Загрузить».");
    const QString expected[] = {
        QStringLiteral("Во время создания SIS файла произошла ошибка\n") + missing,
        QStringLiteral("Не удалось сохранить файл backgroundimage.mbm.\n") + missing,
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kFirstSteps[i].first);
        const Outcomes out = kFirstSteps[i].second(t);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.text, expected[i]);
        EXPECT_TRUE(out.progress.empty());
        EXPECT_EQ(tree(t.base()), before);
        EXPECT_FALSE(fs::exists(ran));
    }
}

TEST(PackageBuild, AfterAnImportBannersNeverShownAreTheDefaultAndTheBytesAreTodays)
{
    // Today's way: every scheme was shown, so each banner was written from
    // the default picture, and only then saved and built.
    ThemeWorkspace shown;
    firstStart(shown);
    importIntoOneBanner(shown);
    for (QChar n : {u'2', u'3', u'4'})
        ASSERT_TRUE(*ThemeFileOp(shown.ws, ThemeFileOpCode::WriteNoImageBanner, n));
    ThemeWorkspace t;
    firstStart(t);
    importIntoOneBanner(t);

    const auto banner = payloadBytes(Payload::NoImage, {});
    ASSERT_TRUE(banner);
    const char* delivered[] = {"MyTheme.sis", "backgroundimage.mbm", "EidPic.mbm"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kFirstSteps[i].first);
        const Outcomes today = kFirstSteps[i].second(shown);
        ASSERT_TRUE(today.ok) << today.text.toStdString();
        const Outcomes out = kFirstSteps[i].second(t);
        ASSERT_TRUE(out.ok) << out.text.toStdString();
        const Bytes bytes = fileBytes(t.programFolder() / delivered[i]);
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes, fileBytes(shown.programFolder() / delivered[i]));
        for (const char* slot : {"Top2.bmp", "Top3.bmp", "Top4.bmp"})
            EXPECT_EQ(fileBytes(t.root() / slot), Bytes(banner->begin(), banner->end())) << slot;
    }
}
