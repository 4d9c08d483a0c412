#include "app/main_form.h"

#include "preview/desktop_painter.h"
#include "app/editors.h"
#include "preview/menu_painter.h"
#include "edit/picture_import.h"
#include "preview/slot_watcher.h"
#include "preview/status_animation.h"
#include "preview/thumbnails_painter.h"
#include "platform/fileops.h"
#include "preview/fonts.h"
#include "app/help_page.h"
#include "app/icons.h"
#include "app/icons_page.h"
#include "app/pictures_page.h"
#include "app/settings_page.h"
#include "app/sis_page.h"
#include "workspace/slots.h"
#include "app/widgets.h"
#include "converter/setup.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

namespace kastra {

const QString MainForm::Caption = QStringLiteral("Halvorn Kastra Theme Creator v1.11");

MainForm::MainForm(const StartupOptions& options) : QWidget(nullptr)
{
    m_ws.root = options.workspaceRoot;
    m_ws.programFolder = options.programFolder;
    m_state.workspaceRoot = m_ws.root;
    m_state.programFolder = m_ws.programFolder;
    m_sisToolTimeoutMs = options.sisToolTimeoutMs;

    // 1. The window: caption, place, client size, no maximise box.
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(Caption);
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setGeometry(191, 168, 529, 271);
    setFont(CellFont(QStringLiteral("MS Sans Serif"), 0));

    // 2. The timers and the file dialog.
    m_signalTimer.setObjectName(QStringLiteral("SignalTimer"));
    m_signalTimer.setInterval(1000);
    m_signalTimer.setTimerType(Qt::PreciseTimer);
    m_stripTimer.setObjectName(QStringLiteral("StripTimer"));
    m_stripTimer.setInterval(50);
    m_menuTimer.setObjectName(QStringLiteral("MenuPreviewTimer"));
    m_menuTimer.setInterval(50);
    m_previewTimer.setObjectName(QStringLiteral("PreviewTimer"));
    m_previewTimer.setInterval(50);
    if (options.dialogs) {
        m_dialogs = options.dialogs;
    } else {
        m_ownDialogs = std::make_unique<WidgetDialogs>(this);
        m_dialogs = m_ownDialogs.get();
    }

    // 3. No menu bar; the editor pop-up menu with its three items.
    m_editorMenu = new QMenu(this);
    m_editorMenu->setObjectName(QStringLiteral("EditorMenu"));
    for (int n = 1; n <= 3; ++n) {
        QAction* item = m_editorMenu->addAction(QStringLiteral("Редактор №%1").arg(n));
        connect(item, &QAction::triggered, this, [this, n] { runEditor(n); });
    }

    // 4. The image list.
    m_images = LoadImageList();

    // 5. The preview, the picture button, the tabs and their pages.
    m_previewBox = new PaintBox(QSize(176, 220), this);
    m_previewBox->setObjectName(QStringLiteral("PreviewBox"));
    m_previewBox->move(344, 8);
    m_previewBox->setCursor(Qt::PointingHandCursor);
    auto* loadPicture = new PictureButton(QStringLiteral("Загрузить картинку"), this);
    loadPicture->setObjectName(QStringLiteral("LoadPictureButton"));
    loadPicture->setGeometry(344, 232, 177, 33);
    loadPicture->setCaptionColour(QColor(0, 0, 128));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("PageTabs"));
    m_tabs->setGeometry(10, 10, 312, 253);
    m_tabs->setDocumentMode(true);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    m_tabs->tabBar()->setFont(CellFont(QStringLiteral("Verdana"), 12));
    m_tabs->tabBar()->setDrawBase(false);
    m_tabs->setAutoFillBackground(true);

    auto addPage = [&](QWidget* page, const QString& title) { m_tabs->addTab(page, title); };
    m_pictures = new PicturesPage(*this, m_images, nullptr);
    addPage(m_pictures, QStringLiteral("Картинки"));
    m_icons = new IconsPage(*this, m_images, nullptr);
    addPage(m_icons, QStringLiteral("Иконки"));
    m_sis = new SisPage(*this, m_images, nullptr);
    addPage(m_sis, QStringLiteral("SIS"));
    m_settings = new SettingsPage(*this, m_images, nullptr);
    addPage(m_settings, QStringLiteral("Настройки"));
    m_help = new HelpPage(m_images, nullptr);
    addPage(m_help, QStringLiteral("Help"));

    // 6. Events.
    connect(&m_signalTimer, &QTimer::timeout, this, [this] { animate(); });
    connect(&m_previewTimer, &QTimer::timeout, this, [this] { paintPreview(); });
    connect(&m_stripTimer, &QTimer::timeout, this, [this] { paintStrips(); });
    connect(&m_menuTimer, &QTimer::timeout, this, [this] { paintMenu(); });
    connect(m_previewBox, &PaintBox::pressed, this,
            [this](Qt::MouseButton b, QPoint p) { slotPress(PreviewView::Preview, b, p); });
    wirePaintBox(m_pictures->controls(), "DesktopStripBox", PreviewView::DesktopStrip);
    wirePaintBox(m_pictures->controls(), "BootStripBox", PreviewView::BootStrip);
    wirePaintBox(m_pictures->controls(), "NoSignalBox", PreviewView::NoSignal);
    wirePaintBox(m_pictures->controls(), "SignalStripBox", PreviewView::SignalStrip);
    wirePaintBox(m_pictures->controls(), "Avkon445Box", PreviewView::Avkon445);
    wirePaintBox(m_icons->controls(), "SmallFoldersBox", PreviewView::SmallFolders);
    wirePaintBox(m_icons->controls(), "LargeFoldersBox", PreviewView::LargeFolders);
    wirePaintBox(m_icons->controls(), "Avkon136Box", PreviewView::Avkon136);
    wirePaintBox(m_icons->controls(), "Avkon138Box", PreviewView::Avkon138);
    wirePaintBox(m_icons->controls(), "Avkon202Box", PreviewView::Avkon202);
    connect(loadPicture, &PictureButton::clicked, this, [this] { importPicture(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { pageChanged(index); });
    connect(m_settings, &SettingsPage::labelsChanged, this, [this](const std::array<QString, 3>& labels) {
        const QList<QAction*> items = m_editorMenu->actions();
        for (int i = 0; i < 3 && i < items.size(); ++i)
            items.at(i)->setText(labels[static_cast<std::size_t>(i)]);
    });
    request(m_signalTimer);
    request(m_menuTimer);
    request(m_stripTimer);
    request(m_previewTimer);

    // 7. Fixed size, centred on the screen (again once the frame is known).
    setFixedSize(529, 271);
    centreOnScreen();

    // 8. The start-up handler.
    startUp();
}

MainForm::~MainForm() = default;

void MainForm::wirePaintBox(const Controls& controls, const char* name, PreviewView view)
{
    auto* box = controls.get<PaintBox>(name);
    connect(box, &PaintBox::pressed, this, [this, view](Qt::MouseButton b, QPoint p) { slotPress(view, b, p); });
}

void MainForm::request(QTimer& timer)
{
    // Starting a running QTimer restarts it; a burst of requests would then
    // never let it fire.
    if (!timer.isActive())
        timer.start();
}

void MainForm::requestPreview()
{
    if (!m_halted)
        request(m_previewTimer);
}

void MainForm::requestStrips()
{
    if (!m_halted)
        request(m_stripTimer);
}

void MainForm::requestMenu()
{
    if (!m_halted)
        request(m_menuTimer);
}

void MainForm::clearPreview()
{
    m_previewBox->surface().fill(fromQRgb(palette().color(QPalette::Window).rgb()));
    m_previewBox->update();
}

void MainForm::ownWrites(const QStringList& paths)
{
    if (m_watcher)
        m_watcher->absorb(paths);
}

bool MainForm::stripTop() const { return m_settings->stripTop(); }
bool MainForm::stripBottom() const { return m_settings->stripBottom(); }
bool MainForm::separateEidPic() const { return m_settings->separateEidPic(); }
void MainForm::setStripBottom(bool on) { m_settings->setStripBottom(on); }

void MainForm::halt()
{
    m_halted = true;
    m_signalTimer.stop();
    m_previewTimer.stop();
    m_stripTimer.stop();
    m_menuTimer.stop();
}

void MainForm::startUp()
{
    m_state.stripEdited = false;
    m_state.scheme = u'1';
    m_state.animationStep = 0;
    CreateFolder(m_ws.root, true);
    m_state.scratch = ScratchBitmaps{};
    m_settings->showSettings(LoadSettings(FindInFolder(m_ws.programFolder, QStringLiteral("Settings.ini"))));
    PrepareWorkspace(m_ws, false, false, m_state.scratch.desktop);
    // An outside editor's save shows at once, not at the next repaint of
    // the window.
    m_watcher = new SlotWatcher(m_ws.root, 150, this);
    connect(m_watcher, &SlotWatcher::slotsChanged, this, [this] {
        requestPreview();
        requestStrips();
        requestMenu();
    });
    m_watcher->start();
}

void MainForm::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    halt();
    if (m_watcher)
        m_watcher->stop();
    TearDownWorkspace(m_ws);
    m_settings->saveSettings();
    m_state.scratch = ScratchBitmaps{};
}

void MainForm::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window's position is that of its frame. Before the window manager
    // has framed the window the frame is the client area.
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void MainForm::centreOnceFramed()
{
    // The title bar and borders were not part of the centring at
    // construction, which left the frame that much too low and to the
    // right. The window manager's frame shows at the first show or move.
    if (!m_centredWithFrame && frameGeometry().size() != size()) {
        m_centredWithFrame = true;
        centreOnScreen();
    }
}

void MainForm::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    centreOnceFramed();
}

void MainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    centreOnceFramed();
}

void MainForm::commitData()
{
    if (!m_shutDown)
        m_settings->saveSettings();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    shutdown();
    event->accept();
}

void MainForm::paintEvent(QPaintEvent*)
{
    requestPreview();
    if (m_tabs->currentIndex() == 0)
        requestStrips();
    else if (m_tabs->currentIndex() == 1)
        requestMenu();
    // The frame two pixels outside the tabs, drawn as GDI's Rectangle with
    // the window's default pen and brush: black edge, white inside, right
    // and bottom edges excluded.
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(8, 8, 324 - 8 - 1, 265 - 8 - 1);
}

void MainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Compositing window managers send no paint event when the window is
    // uncovered: coming to the front stands in for it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_halted) {
        requestPreview();
        requestStrips();
        requestMenu();
        m_sis->updateImportButton();
    }
}

void MainForm::pageChanged(int index)
{
    if (index == 0)
        requestStrips();
    else if (index == 1)
        requestMenu();
}

void MainForm::slotPress(PreviewView view, Qt::MouseButton button, QPoint position)
{
    if (m_halted)
        return;
    const QString path = slotPath(m_ws.root, SlotUnder(view, position.x(), position.y(), m_state.scheme));
    const PressRules rules = PressRulesFor(view, position.y());
    if (rules.setsStripEdited)
        m_state.stripEdited = true;
    const bool exists = IsFile(path);
    if (button == Qt::RightButton) {
        m_state.popupSlotPath = (view == PreviewView::Preview && !exists) ? QString() : path;
        m_editorMenu->popup(QCursor::pos());
        return;
    }
    if (rules.remembersAlways)
        m_state.popupSlotPath = path;
    if (rules.testsExistence && !exists) {
        if (view == PreviewView::DesktopStrip)
            m_state.popupSlotPath = path;
        return;
    }
    StartEditor(m_state.defaultEditorPath, path);
}

void MainForm::runEditor(int n)
{
    StartEditor(m_settings->editorText(n), m_state.popupSlotPath);
}

} // namespace kastra

namespace kastra {

namespace {

Surface& surfaceOf(const Controls& controls, const char* name)
{
    return controls.get<PaintBox>(name)->surface();
}

void updateBoxes(const Controls& controls, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        controls.get<PaintBox>(n)->update();
}

} // namespace

void MainForm::paintPreview()
{
    m_previewTimer.stop();
    m_watcher->absorb(PaintDesktop(m_state, m_ws, stripBottom(), m_previewBox->surface()));
    m_previewBox->update();
}

void MainForm::paintStrips()
{
    const Controls& c = m_pictures->controls();
    const ThumbnailSurfaces views{surfaceOf(c, "DesktopStripBox"), surfaceOf(c, "BootStripBox"), surfaceOf(c, "NoSignalBox"),
                                  surfaceOf(c, "SignalStripBox"), surfaceOf(c, "Avkon445Box")};
    const ThumbnailsPainted painted = PaintThumbnails(m_state, m_ws, views, m_previewBox->surface());
    m_watcher->absorb(painted.written);
    // Until the current banner exists the timer goes on ticking.
    if (painted.bannerExists)
        m_stripTimer.stop();
    updateBoxes(c, {"DesktopStripBox", "BootStripBox", "NoSignalBox", "SignalStripBox", "Avkon445Box"});
    m_previewBox->update();
}

void MainForm::paintMenu()
{
    m_menuTimer.stop();
    const Controls& c = m_icons->controls();
    const MenuSurfaces views{surfaceOf(c, "SmallFoldersBox"), surfaceOf(c, "LargeFoldersBox"), surfaceOf(c, "Avkon136Box"),
                             surfaceOf(c, "Avkon138Box"), surfaceOf(c, "Avkon202Box")};
    m_watcher->absorb(PaintMenu(m_ws, views));
    updateBoxes(c, {"SmallFoldersBox", "LargeFoldersBox", "Avkon136Box", "Avkon138Box", "Avkon202Box"});
}

void MainForm::animate()
{
    AnimateStatus(m_state, m_ws, m_previewBox->surface());
    m_previewBox->update();
}

void MainForm::importPicture()
{
    if (const auto chosen = m_dialogs->openFile(QString::fromUtf16(PictureFilter))) {
        ImportOptions options;
        options.top = stripTop();
        options.bottom = stripBottom();
        options.separate = separateEidPic();
        const ImportOutcome out = [&] {
            BusyCursor busy;
            return ImportPicture(m_state, m_ws, *chosen, options);
        }();
        m_watcher->absorb(out.written);
        if (out.message)
            m_dialogs->message(out.message->title, out.message->text, MessageIcon::Warning);
    }
    // Also after a cancelled dialog or a refused picture.
    requestStrips();
    requestPreview();
}

} // namespace kastra
