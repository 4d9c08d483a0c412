#pragma once
// Page 2, "SIS": the greeting, the theme and file names, the handset file
// loaders, the theme import and the build.

#include "app/control_table.h"
#include "app/form_services.h"

#include <QPlainTextEdit>
#include <QValidator>
#include <QWidget>

#include <functional>

namespace kastra {

class FieldHint;

// Keeps only the characters a field may hold, whichever way they came in
// (typed, pasted, dropped or composed), so Backspace, Delete, the arrows,
// Home and End keep working as usual. What it leaves out is handed to a
// callback, once per edit, so the person can be told at the field.
class CharacterFilter final : public QValidator {
public:
    enum class Rule {
        FileName,    // digits, Latin letters and '_': the name becomes a path
        ThemeName,   // Windows-1251 but '"' and line breaks, which would
                     // break the package script's header line
        Greeting,    // Windows-1251 and line breaks: Hello.txt
    };
    // The package carries the theme name and the greeting in Windows-1251;
    // a character outside it would arrive as '?' on the handset, so it is
    // refused as it is typed or pasted.
    using Refused = std::function<void(const QString& refused)>;
    CharacterFilter(Rule rule, Refused refused, QObject* parent);
    static bool allowed(Rule rule, QChar c);
    // What the person reads when characters were left out: which ones, each
    // once, and why. Empty when nothing was.
    static QString refusalHint(Rule rule, const QString& refused);
    State validate(QString& input, int& pos) const override;
    // A multi-line box has no validator: its document is filtered after
    // every change instead, with the same rule.
    static void attach(Rule rule, QPlainTextEdit* memo, Refused refused);

private:
    Rule m_rule;
    Refused m_refused;
};

class SisPage final : public QWidget {
    Q_OBJECT
public:
    // The rows of the page's table, in its order.
    enum Control : int {
        GreetingLabel, GreetingMemo, ThemeNameLabel, ThemeNameEdit, ThemeFileLabel, ThemeFileEdit, LoadMenuAifButton,
        LoadAppAifButton, LoadThemeButton, LoadFontButton, FontStatusLabel, BuildButton, BuildProgress,
    };

    SisPage(FormServices& form, const ImageList& images, QWidget* parent);
    const ControlWidgets& controls() const { return m_controls.widgets(); }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();
    // LoadThemeButton follows whether SISTool.exe is there; returns whether
    // it is.
    bool updateImportButton();
    // The buttons' work; a file dropped onto the window is taken as it is
    // (dropped), a button asks for one with the file dialog.
    void loadFont(const QString& dropped = {});
    void importTheme(const QString& dropped = {});
    // FontStatusLabel follows the state's fontLoaded (an undo may clear it).
    void showFontState();

signals:
    // An imported theme set the picture options of the application state.
    void pictureOptionsChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void build();
    void loadAif(bool menu);
    // Filters the field by the rule and tells at the field what it refused.
    void filter(Control field, CharacterFilter::Rule rule);

    FormServices& m_form;
    Controls<Control> m_controls;
    FieldHint* m_hint = nullptr;
};

} // namespace kastra
