// The window's handset view, the smoothing step and snapshots: the picture
// menu's items after "Вернуть исходную".

#include "app/main_form.h"

#include "app/widgets.h"
#include "edit/smoothing.h"
#include "preview/menu_painter.h"
#include "preview/snapshot.h"

#include <QKeySequence>
#include <QMenu>

namespace kastra {

void MainForm::setUpHandsetItems()
{
    m_handsetItem = m_editorMenu->addAction(QStringLiteral("Как на экране телефона"));
    m_handsetItem->setObjectName(QStringLiteral("HandsetViewItem"));
    m_handsetItem->setCheckable(true);
    // Added to the window too, so the key works with the menu closed.
    m_handsetItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    m_handsetItem->setShortcutContext(Qt::WindowShortcut);
    addAction(m_handsetItem);
    connect(m_handsetItem, &QAction::toggled, this, [this](bool on) { setHandsetView(on); });

    m_smoothItem = m_editorMenu->addAction(QStringLiteral("Сгладить для экрана телефона"));
    m_smoothItem->setObjectName(QStringLiteral("SmoothItem"));
    connect(m_smoothItem, &QAction::triggered, this, [this] { smoothSlot(); });

    QMenu* snapshots = m_editorMenu->addMenu(QStringLiteral("Сохранить снимок"));
    snapshots->setObjectName(QStringLiteral("SnapshotMenu"));
    for (int factor = MinSnapshotScale; factor <= MaxSnapshotScale; ++factor) {
        QAction* item = snapshots->addAction(QStringLiteral("Масштаб %1:1").arg(factor));
        connect(item, &QAction::triggered, this, [this, factor] { saveSnapshot(factor); });
    }
}

const SlotPictures& MainForm::pictures()
{
    m_slotPictures.setScreenColours(screenColoursFrom(m_state.pictures.screenColours));
    return m_slotPictures;
}

void MainForm::setHandsetView(bool on)
{
    if (m_handsetItem->isChecked() != on)
        return m_handsetItem->setChecked(on);   // comes back here through toggled
    m_slotPictures.setHandset(on);
    const QString caption = QString::fromUtf16(WindowCaption);
    setWindowTitle(on ? caption + QStringLiteral(" — экран телефона") : caption);
    if (m_halted)
        return;
    // At once rather than at the timers, so the switch answers the key.
    paintPreview();
    paintStrips();
    paintMenu();
}

void MainForm::smoothSlot()
{
    if (m_halted)
        return;
    const QString slot = m_state.popupSlotPath;
    const ScreenColours screen = screenColoursFrom(m_state.pictures.screenColours);
    record([&] {
        BusyCursor busy;
        return SmoothSlot(m_ws, slot, screen);
    });
    requestPreview();
    requestStrips();
    requestMenu();
}

void MainForm::saveSnapshot(int factor)
{
    if (m_halted)
        return;
    const auto path = m_dialogs->saveFile(QStringLiteral("PNG (*.png)|*.png"));
    if (!path)
        return;
    using enum PreviewView;
    paintPreview();
    paintMenu();
    const MenuSurfaces menu{view(SmallFolders)->surface(), view(LargeFolders)->surface(), view(Avkon136)->surface(),
                            view(Avkon138)->surface(), view(Avkon202)->surface()};
    report(SaveSnapshot(view(Preview)->surface().image(), menu, factor, *path));
}

} // namespace kastra
