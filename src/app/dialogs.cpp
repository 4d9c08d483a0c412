#include "app/dialogs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

namespace kastra {

std::optional<QString> DroppedOrChosen(Dialogs& dialogs, const QString& dropped, const QString& windowsFilter)
{
    if (!dropped.isEmpty()) {
        dialogs.taken(dropped);
        return dropped;
    }
    return dialogs.openFile(windowsFilter);
}

QString ToQtFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        const qsizetype open = description.indexOf(u'(');
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    if (filters.isEmpty() && !windowsFilter.isEmpty())
        filters << windowsFilter;
    return filters.join(QStringLiteral(";;"));
}

WidgetDialogs::WidgetDialogs(QWidget* owner) : m_owner(owner), m_dialog(new QFileDialog(owner))
{
    m_dialog->setObjectName(QStringLiteral("FileDialog"));
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    m_dialog->setOption(QFileDialog::ReadOnly, false);
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Without a title of its own the dialog would show the program's file
    // name.
    m_dialog->setWindowTitle(QString::fromUtf16(WindowCaption));
    m_folder = QDir::homePath();
    // A user's pictures come from Windows machines and cameras as often as
    // not: "PHOTO.JPG" must match "*.jpg".
    m_dialog->setFilter(m_dialog->filter() & ~QDir::CaseSensitive);
}

std::optional<QString> WidgetDialogs::openFile(const QString& windowsFilter)
{
    m_dialog->setNameFilter(ToQtFilter(windowsFilter));
    // A name typed in full leaves the dialog in the folder it was in and the
    // name in its field; the folder it was taken from is the one wanted.
    m_dialog->setDirectory(m_folder);
    if (auto* name = m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->clear();
    const int answer = m_dialog->exec();
    // A name typed in full and taken with Enter leaves the file name
    // completer's list open after the dialog has gone. An open pop-up takes
    // the next click anywhere only to close itself, so the user's first
    // click in the window would do nothing. A file picked with the mouse
    // never opens the list.
    for (QCompleter* completer : m_dialog->findChildren<QCompleter*>()) {
        if (QAbstractItemView* list = completer->popup(); list && list->isVisible())
            list->hide();
    }
    if (answer != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = m_dialog->selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    taken(files.first());
    return files.first();
}

void WidgetDialogs::taken(const QString& path)
{
    m_folder = QFileInfo(path).absolutePath();
}

std::optional<QString> WidgetDialogs::saveFile(const QString& windowsFilter)
{
    // A dialog of its own: the open dialog's modes stay as they are, and
    // its folder is where this one starts.
    const QString chosen = QFileDialog::getSaveFileName(m_owner, QString(), m_folder,
                                                        ToQtFilter(windowsFilter), nullptr,
                                                        QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void WidgetDialogs::message(const QString& title, const QString& text, MessageIcon icon)
{
    QMessageBox box(m_owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    box.exec();
}

} // namespace kastra
