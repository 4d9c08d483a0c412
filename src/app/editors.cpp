#include "app/editors.h"

#include "platform/process.h"

#include <QDir>
#include <QFileInfo>

namespace kastra {

bool IsEditorProgram(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

EditorLaunch ParseEditorCommand(const QString& editorText, const QString& slotPath)
{
    EditorLaunch launch;
    const QString text = editorText.trimmed();
    if (text.isEmpty())
        return launch;

    if (text.startsWith(u'"')) {
        const QStringList words = SplitCommandLine(text);
        if (words.isEmpty())
            return launch;
        launch.program = words.first();
        launch.arguments = words.mid(1);
    } else {
        // The longest prefix ending at a space (or the end) that names an
        // executable file.
        QList<qsizetype> ends;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == u' ')
                ends << i;
        }
        ends << text.size();
        qsizetype end = ends.first();
        for (auto it = ends.crbegin(); it != ends.crend(); ++it) {
            if (IsEditorProgram(text.left(*it))) {
                end = *it;
                break;
            }
        }
        launch.program = text.left(end);
        launch.arguments = SplitCommandLine(text.mid(end).trimmed());
    }
    launch.arguments << QDir::toNativeSeparators(slotPath);
    return launch;
}

bool StartEditor(const QString& editorText, const QString& slotPath)
{
    const EditorLaunch launch = ParseEditorCommand(editorText, slotPath);
    if (launch.program.isEmpty())
        return false;
    return StartDetached(launch.program, launch.arguments);
}

QString EditorNotStartedText(const QString& editorText)
{
    if (editorText.trimmed().isEmpty())
        return QStringLiteral("Редактор не выбран.\nВыбрать его можно на странице «Настройки».");
    return QStringLiteral("Не удалось запустить редактор %1.\nДругой редактор можно выбрать на странице «Настройки».")
        .arg(editorText.trimmed());
}

} // namespace kastra
