#include "app/dialogs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace kastra {

std::optional<QString> DroppedOrChosen(Dialogs& dialogs, const QString& dropped, const QString& windowsFilter)
{
    if (!dropped.isEmpty())
        return dropped;
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
    m_dialog->setWindowTitle(QString());
    m_dialog->setDirectory(QDir::homePath());
    // A user's pictures come from Windows machines and cameras as often as
    // not: "PHOTO.JPG" must match "*.jpg".
    m_dialog->setFilter(m_dialog->filter() & ~QDir::CaseSensitive);
}

std::optional<QString> WidgetDialogs::openFile(const QString& windowsFilter)
{
    m_dialog->setNameFilter(ToQtFilter(windowsFilter));
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
    return files.first();
}

std::optional<QString> WidgetDialogs::saveFile(const QString& windowsFilter)
{
    // A dialog of its own: the open dialog's modes stay as they are, and
    // its folder is where this one starts.
    const QString chosen = QFileDialog::getSaveFileName(m_owner, QString(), m_dialog->directory().path(),
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
