#include "app/main_form.h"

#include "preview/desktop_painter.h"
#include "app/editors.h"
#include "preview/menu_painter.h"
#include "preview/slot_watcher.h"
#include "preview/status_animation.h"
#include "preview/thumbnails_painter.h"
#include "platform/fileops.h"
#include "app/help_page.h"
#include "app/icons.h"
#include "app/icons_page.h"
#include "app/pictures_page.h"
#include "app/settings_page.h"
#include "app/sis_page.h"
#include "workspace/slots.h"
#include "app/widgets.h"
#include "converter/converter.h"
#include "converter/default_slot.h"
#include "converter/setup.h"
#include "workspace/history.h"
#include "workspace/slot_depth.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>

namespace kastra {

namespace {

// clang-format off
constexpr ControlSpec Rows[] = {
//   id                           name                 kind                 parent   x    y    w    h   caption                 font     height flags      colour               view
    {MainForm::PreviewBox,        "PreviewBox",        Kind::PaintBox,      Top,   344,   8, 176, 220, nullptr,                nullptr,   -1, HandCursor, 0,                   PreviewView::Preview},
    {MainForm::LoadPictureButton, "LoadPictureButton", Kind::PictureButton, Top,   344, 232, 177,  33, u"Загрузить картинку",  nullptr,   -1, Plain,      rgbText(0, 0, 128),  NoView},
    {MainForm::PageTabs,          "PageTabs",          Kind::Tabs,          Top,    10,  10, 312, 253, nullptr,                "Verdana", 12, NoTabStop,  0,                   NoView},
};
// clang-format on
static_assert(inIdOrder(Rows));

// The client area, fixed.
constexpr QSize ClientSize(529, 271);

} // namespace

std::span<const ControlSpec> MainForm::rows() { return Rows; }

MainForm::MainForm(const StartupOptions& options)
    : QWidget(nullptr), m_ws(options.workspaceRoot, options.programFolder)
{
    m_state.sisToolTimeoutMs = options.sisToolTimeoutMs;
    // Whatever the program writes is its own: the kept reductions of those
    // files go, and the live refresh records them without a signal.
    m_ws.journal().setListener([this](const QStringList& paths) {
        m_slotPictures.forget(paths);
        if (m_watcher)
            m_watcher->absorb(paths);
    });

    setUpWindow();
    setUpTimers(options);
    setUpEditorMenu();
    m_images = LoadImageList();
    buildPages();
    wireEvents();
    setUpShortcuts();
    // Fixed size, centred on the screen (again once the frame is known).
    setFixedSize(ClientSize);
    centreOnScreen();
    startUp();
    // Once the event loop runs, so the window is there behind any message.
    if (!options.openFile.isEmpty())
        QMetaObject::invokeMethod(
            this, [this, url = QUrl::fromLocalFile(options.openFile)] { loadDropped({url}); }, Qt::QueuedConnection);
}

MainForm::~MainForm() = default;

// The window: caption, place, client size, no maximise box.
void MainForm::setUpWindow()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromUtf16(WindowCaption));
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setGeometry(QRect(QPoint(191, 168), ClientSize));
    setFont(PageFont());
}

// The timers, all stopped, and the file dialog.
void MainForm::setUpTimers(const StartupOptions& options)
{
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
}

// No menu bar; the editor pop-up menu with its three items.
void MainForm::setUpEditorMenu()
{
    m_editorMenu = new QMenu(this);
    m_editorMenu->setObjectName(QStringLiteral("EditorMenu"));
    for (int n = 1; n <= 3; ++n) {
        QAction* item = m_editorMenu->addAction(QStringLiteral("Редактор №%1").arg(n));
        connect(item, &QAction::triggered, this, [this, n] { runEditor(n); });
    }
    m_editorMenu->addSeparator();
    m_restoreItem = m_editorMenu->addAction(QStringLiteral("Вернуть исходную"));
    connect(m_restoreItem, &QAction::triggered, this, [this] { restoreDefault(); });
    setUpHandsetItems();
}

// The window's own controls, then the pages under their tabs.
void MainForm::buildPages()
{
    m_controls = Controls<Control>(buildControls(this, Rows, m_images));
    QTabWidget* tabs = pageTabs();
    m_pictures = new PicturesPage(*this, m_images, nullptr);
    tabs->addTab(m_pictures, QStringLiteral("Картинки"));
    m_icons = new IconsPage(*this, m_images, nullptr);
    tabs->addTab(m_icons, QStringLiteral("Иконки"));
    m_sis = new SisPage(*this, m_images, nullptr);
    tabs->addTab(m_sis, QStringLiteral("SIS"));
    m_settings = new SettingsPage(*this, m_images, nullptr);
    tabs->addTab(m_settings, QStringLiteral("Настройки"));
    m_help = new HelpPage(m_images, nullptr);
    tabs->addTab(m_help, QStringLiteral("Help"));
}

// A press on any paint box a row names a view of opens or remembers the
// slot under the pointer.
void MainForm::wireViews(std::span<const ControlSpec> rows, const ControlWidgets& widgets)
{
    for (const ControlSpec& row : rows) {
        if (!row.view)
            continue;
        auto* box = qobject_cast<PaintBox*>(widgets.at(row.id));
        const PreviewView which = *row.view;
        m_views.at(static_cast<std::size_t>(which)) = box;
        connect(box, &PaintBox::pressed, this, [this, which](Qt::MouseButton b, QPoint p) { slotPress(which, b, p); });
    }
}

// The events; the signal timer runs from here on, the repaint timers are
// requested at the end.
void MainForm::wireEvents()
{
    connect(&m_signalTimer, &QTimer::timeout, this, [this] { animate(); });
    connect(&m_previewTimer, &QTimer::timeout, this, [this] { paintPreview(); });
    connect(&m_stripTimer, &QTimer::timeout, this, [this] { paintStrips(); });
    connect(&m_menuTimer, &QTimer::timeout, this, [this] { paintMenu(); });
    wireViews(Rows, m_controls.widgets());
    wireViews(PicturesPage::rows(), m_pictures->controls());
    wireViews(IconsPage::rows(), m_icons->controls());
    connect(m_controls.get<PictureButton>(LoadPictureButton), &PictureButton::clicked, this, [this] { importPicture(); });
    connect(pageTabs(), &QTabWidget::currentChanged, this, [this](int index) { pageChanged(index); });
    connect(m_settings, &SettingsPage::labelsChanged, this, [this](const std::array<QString, 3>& labels) {
        const QList<QAction*> items = m_editorMenu->actions();
        for (int i = 0; i < 3 && i < items.size(); ++i)
            items.at(i)->setText(labels[static_cast<std::size_t>(i)]);
    });
    connect(m_sis, &SisPage::pictureOptionsChanged, m_settings, &SettingsPage::showPictureOptions);
    request(m_signalTimer);
    request(m_menuTimer);
    request(m_stripTimer);
    request(m_previewTimer);
}

// The keys desktop programs share, window-wide: undo and redo (an edit
// field with the focus keeps its own, see stepHistory), Ctrl+O for the
// picture import, Ctrl+Q to close the window the way its close box does
// (close() runs closeEvent, so the tear-down and the settings save happen
// there and only once). Any file may be dropped onto the window.
void MainForm::setUpShortcuts()
{
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo(); }},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { redo(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_O), [this] { importPicture(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
    };
    for (const auto& [sequence, action] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    }
    setAcceptDrops(true);
}

QTabWidget* MainForm::pageTabs() const
{
    return m_controls.get<QTabWidget>(PageTabs);
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
    PaintBox* preview = view(PreviewView::Preview);
    preview->surface().fill(fromQRgb(palette().color(QPalette::Window).rgb()));
    preview->update();
}

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
    m_state.schemeChosen = false;
    m_state.animationStep = 0;
    m_settings->showSettings(LoadSettings(FindInFolder(m_ws.programFolder(), QStringLiteral("Settings.ini"))));
    // A workspace that cannot be set up (a full disk, say) is said in a box;
    // the window stays, and a load or an import may still fill it.
    if (const Result<bool> prepared = PrepareWorkspace(m_ws, false, false); !prepared)
        report(CommandFileRefused(Error{prepared.error(), prepared.code()}));
    // An outside editor's save shows at once, not at the next repaint of
    // the window.
    m_history = std::make_unique<History>(m_ws);
    m_history->start();
    (void)m_ws.journal().take();
    m_watcher = new SlotWatcher(m_ws.root(), 150, this);
    connect(m_watcher, &SlotWatcher::slotsChanged, this, [this](const QStringList& changed) { outsideChange(changed); });
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
    // Saved while the window still shows the theme: a value the file could
    // not hold is said before anything is gone.
    m_settings->saveSettings();
    TearDownWorkspace(m_ws);
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
    pageChanged(pageTabs()->currentIndex());
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
    const QString slot = SlotUnder(view, position.x(), position.y(), m_state.scheme);
    const QString path = m_ws.path(slot);
    const PressRules rules = PressRulesFor(view, position.y());
    if (rules.setsStripEdited)
        m_state.stripEdited = true;
    const bool exists = m_ws.hasFile(slot);
    if (button == Qt::RightButton) {
        m_state.popupSlotPath = (view == PreviewView::Preview && !exists) ? QString() : path;
        m_restoreItem->setEnabled(SlotHasDefault(m_ws, m_state.popupSlotPath));
        m_smoothItem->setEnabled(SmoothingOffered(m_ws.slotOf(m_state.popupSlotPath)));
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
    openInEditor(m_state.defaultEditorPath, path);
}

void MainForm::runEditor(int n)
{
    openInEditor(m_settings->editorText(n), m_state.popupSlotPath);
}

void MainForm::openInEditor(const QString& editorText, const QString& slot)
{
    if (!StartEditor(editorText, slot))
        report(WarningOutcome(EditorNotStartedText(editorText)));
}

void MainForm::updateViews(std::span<const ControlSpec> rows)
{
    for (const ControlSpec& row : rows) {
        if (row.view)
            view(*row.view)->update();
    }
}

void MainForm::paintPreview()
{
    m_previewTimer.stop();
    PaintBox* preview = view(PreviewView::Preview);
    PaintDesktop(m_state, m_ws, m_state.pictures.stripBottom, preview->surface(), pictures());
    painted();
    preview->update();
}

void MainForm::paintStrips()
{
    using enum PreviewView;
    const ThumbnailSurfaces views{view(DesktopStrip)->surface(), view(BootStrip)->surface(), view(NoSignal)->surface(),
                                  view(SignalStrip)->surface(), view(Avkon445)->surface()};
    const bool bannerExists = PaintThumbnails(m_state, m_ws, views, view(Preview)->surface(), pictures());
    painted();
    // Until the current banner exists the timer goes on ticking.
    if (bannerExists)
        m_stripTimer.stop();
    updateViews(PicturesPage::rows());
    view(Preview)->update();
}

void MainForm::paintMenu()
{
    using enum PreviewView;
    m_menuTimer.stop();
    const MenuSurfaces views{view(SmallFolders)->surface(), view(LargeFolders)->surface(), view(Avkon136)->surface(),
                             view(Avkon138)->surface(), view(Avkon202)->surface()};
    PaintMenu(m_ws, views, pictures());
    painted();
    updateViews(IconsPage::rows());
}

void MainForm::animate()
{
    PaintBox* preview = view(PreviewView::Preview);
    m_animation.tick(m_state, m_ws, preview->surface(), pictures());
    preview->update();
}

} // namespace kastra
