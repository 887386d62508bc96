#pragma once
// Message boxes and file dialogs of the desktop program. Every window shows
// them through here, so that tests can answer them instead of a user.

#include <QString>
#include <functional>

class QWidget;

namespace ui {

enum class MessageKind { Plain, Warning, Error };

struct Message {
    MessageKind kind = MessageKind::Plain;
    QString text;
    QString details;  // a second paragraph, such as the drawing and the reason
};

// A message box with one OK button.
void showMessage(QWidget* parent, const Message& message);
// A question with Yes and No buttons; true for Yes.
bool askYesNo(QWidget* parent, const QString& text);

// An open-file, save-file or folder dialog, set up the way the windows
// describe theirs: `Filter` in the "Description|*.a;*.b|..." form.
class FileDialog {
public:
    enum class Mode { Open, Save, Folder };

    explicit FileDialog(Mode mode = Mode::Open) : m_mode(mode) {}

    QString Filter;
    QString DefaultExt;  // "txt" or "*.shx": added to a typed name without one
    QString InitialDir;
    QString FileName;  // the proposed name before, the chosen path after Execute
    QString Title;

    Mode mode() const { return m_mode; }
    // Runs the dialog; false when the user cancels. On success FileName holds
    // the chosen path.
    bool Execute(QWidget* parent);
    // "Autocad Fonts|*.shx;*.shp|True Type|*.ttf" in Qt's form:
    // "Autocad Fonts (*.shx *.shp);;True Type (*.ttf)".
    static QString qtFilter(const QString& filter);

private:
    Mode m_mode;
};

// Tests answer prompts here. A message answerer sees every message shown; a
// question answerer returns the answer; a file answerer fills FileName and
// returns false to cancel. An empty function restores the real dialogs.
void answerMessagesWith(std::function<void(const Message&)> answerer);
void answerQuestionsWith(std::function<bool(const QString&)> answerer);
void answerFileDialogsWith(std::function<bool(FileDialog&)> answerer);

}  // namespace ui
