// The main window's four commands: which drawings each processes, their
// output names and backups, and what the window shows while a run works.
// Every drawing is processed by one filter run.

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <stdexcept>

#include "app/folder_path_edit.h"
#include "app/mcorvelin.h"
#include "app/paths.h"
#include "ui/text.h"

namespace app {
namespace {

const QString kSelectFirst = QStringLiteral("Please make your selection first.");

void processMessages() { QCoreApplication::processEvents(); }

QString joined(const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines)
        texts << ui::fromUtf8(line);
    return texts.join(QLatin1Char('\n'));
}

}  // namespace

// One command at a time: the command buttons are disabled while a run works
// (pending events are processed during it), the hourglass shows when asked,
// and everything is put back however the run ends. A close asked for during
// the run happens after it.
class TForm1::RunGuard {
public:
    RunGuard(TForm1& form, bool hourglass) : m_form(form), m_hourglass(hourglass) {
        m_form.m_running = true;
        m_form.m_stopRequested = false;
        for (QPushButton* button : buttons())
            button->setEnabled(false);
        if (m_hourglass)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~RunGuard() {
        if (m_hourglass)
            QApplication::restoreOverrideCursor();
        for (QPushButton* button : buttons())
            button->setEnabled(true);
        m_form.m_running = false;
        m_form.Filter = nullptr;
        if (m_form.m_closeRequested)
            QTimer::singleShot(0, &m_form, &QWidget::close);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    std::array<QPushButton*, 4> buttons() const {
        return {m_form.Button1, m_form.Button2, m_form.Button3, m_form.Button4};
    }
    TForm1& m_form;
    bool m_hourglass;
};

void TForm1::Button1Click() { folderCommand(true); }

void TForm1::Button2Click() { folderCommand(false); }

void TForm1::Button3Click() {
    if (m_currentDrawing.isEmpty())
        ui::showMessage(this, {ui::MessageKind::Error, kSelectFirst, {}});
    else
        Fixdont();
}

void TForm1::Button4Click() {
    if (m_currentDrawing.isEmpty())
        ui::showMessage(this, {ui::MessageKind::Error, kSelectFirst, {}});
    else
        Convert(true);
}

void TForm1::folderCommand(bool convert) {
    if (m_running)
        return;
    FileList.clear();
    const QString text = selectedPath();
    StatusBar1->showMessage(text);
    // A selected drawing stands for its folder.
    const QString folder =
        !text.isEmpty() && isDrawingName(text) ? folderPart(text) : withTrailingSeparator(text);
    if (!folder.isEmpty()) {
        for (const std::filesystem::path& drawing : filter::ListFolderFiles(ui::toPath(folder), false))
            FileList << ui::fromPath(drawing);
    }
    if (FileList.isEmpty()) {
        ui::showMessage(this, {ui::MessageKind::Error, kSelectFirst, {}});
        return;
    }
    if (convert)
        Convert(false);
    else
        Checkit();
}

filter::RunHooks TForm1::runHooks() {
    filter::RunHooks hooks;
    hooks.styles = m_frmRemap.get();
    hooks.started = [this](filter::TDWGFileFilter& f) {
        Filter = &f;
        f.OnError = [this](void*, const std::string& message, int, bool&) { FilterError(ui::fromUtf8(message)); };
        f.ProcessMessages = processMessages;
    };
    return hooks;
}

void TForm1::afterRun(const filter::RunReport& report) {
    Filter = nullptr;
    if (report.status == filter::RunStatus::Done || report.openFailed)
        return;  // an open failure was shown by FilterError
    const QString input = ui::fromUtf8(report.input);
    if (report.releaseRead.empty()) {
        // The drawing was not touched (its backup exists, or it could not be
        // moved to it): say so and go on with the next drawing.
        ui::showMessage(this, {ui::MessageKind::Warning, QStringLiteral("The drawing was not converted."),
                               input + QLatin1Char('\n') + joined(report.errors)});
        return;
    }
    // A drawing that failed after it opened ends the run; the drawing itself
    // is back under its own name.
    throw std::runtime_error(report.input + ": " + ui::toUtf8(joined(report.errors)));
}

void TForm1::beginRun() {
    processMessages();
    Label3->hide();
    ProgressBar1->setValue(0);
    processMessages();
}

void TForm1::showRunPosition(const QString& input, const QString& counter) {
    Label1->show();
    Label2->show();
    Label1->setText(input);
    Label2->setText(counter);
}

void TForm1::Convert(bool single) {
    if (m_running)
        return;
    RunGuard guard(*this, true);
    const QStringList inputs = single ? QStringList{m_currentDrawing} : FileList;
    const int count = static_cast<int>(inputs.size());
    OutputFolder = withTrailingSeparator(CheckBox1->isChecked() ? folderPart(inputs.first()) : JamPathEdit2->path());
    // Checked before anything changes, so that a run that cannot write starts nothing.
    if (!prepareOutput())
        return;
    beginRun();
    Progress1->setMaximum(count);
    ProgressBar1->setMaximum(100);

    // Objects a save could not carry into AutoCAD 2004, for one box at the end.
    QStringList withDrops;
    for (int i = 0; i < count && !m_stopRequested; ++i) {
        const QString& input = inputs[i];
        showRunPosition(input, QStringLiteral("Processing File %1 From %2").arg(i + 1).arg(count));
        const QString output = OutputFolder + fileNamePart(input);
        // The options are read anew for every drawing.
        const filter::RunSettings settings{cbxAuto->isChecked(), cbxBack->isChecked()};
        const filter::RunReport report =
            filter::convertDrawing(m_fontTable, *this, settings, ui::toPath(input), ui::toPath(output),
                                   [this](int percent) { Progress(percent); }, runHooks());
        afterRun(report);
        if (!report.objectsDropped.empty() || !report.saveProblems.empty()) {
            QStringList lines;
            // A left-out entity changes what the drawing shows: said first.
            for (const bool entities : {true, false})
                for (const filter::DroppedObject& d : report.objectsDropped)
                    if (d.isEntity == entities)
                        lines << (entities ? QStringLiteral("entity %1 (%2), no longer shown: %3")
                                           : QStringLiteral("object %1 (%2): %3"))
                                     .arg(ui::fromUtf8(d.handle), ui::fromUtf8(d.type), ui::fromUtf8(d.reason));
            for (const std::string& problem : report.saveProblems)
                lines << QStringLiteral("changed on saving: %1").arg(ui::fromUtf8(problem));
            withDrops << input + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
        }
        ProgressBar1->setValue(0);
        Progress1->setValue(i + 1);
    }
    Label3->show();
    ProgressBar1->setValue(0);
    if (!withDrops.isEmpty())
        ui::showMessage(this, {ui::MessageKind::Warning,
                               QStringLiteral("%1 of the drawings hold objects that AutoCAD 2004 drawings cannot "
                                              "carry as they are; they were left out or changed.")
                                   .arg(withDrops.size()),
                               withDrops.join(QStringLiteral("\n\n"))});
    // The run changed the folder's entries (outputs, backups): keep the
    // current drawing in view.
    scrollToCurrent();
}

bool TForm1::prepareOutput() {
    // An empty output folder leaves bare names, resolved against the
    // program's current folder, which exists.
    if (CheckBox1->isChecked() || OutputFolder.isEmpty())
        return true;
    try {
        filter::prepareOutputFolder(ui::toPath(OutputFolder));
    } catch (const std::exception& e) {
        ui::showMessage(this, {ui::MessageKind::Error, QStringLiteral("The output folder cannot be used."),
                               ui::fromUtf8(e.what())});
        return false;
    }
    return true;
}

void TForm1::Checkit() {
    if (m_running)
        return;
    RunGuard guard(*this, true);
    beginRun();

    const int count = static_cast<int>(FileList.size());
    OutputFolder =
        withTrailingSeparator(CheckBox1->isChecked() ? folderPart(FileList.first()) : JamPathEdit2->path());
    ProgressBar1->setMaximum(count);

    const QStringList inputs = FileList;
    // Drawings that opened with warnings, for one box at the end: the boxes
    // of drawings that cannot be opened stay as they are.
    QStringList withWarnings;
    for (int i = 0; i < count && !m_stopRequested; ++i) {
        const QString& input = inputs[i];
        showRunPosition(input, QStringLiteral("Check File %1 From %2").arg(i + 1).arg(count));
        const filter::RunSettings settings{cbxAuto->isChecked(), false};
        const filter::RunReport report = filter::checkDrawing(
            m_fontTable, settings, ui::toPath(input), [this](int percent) { Progress(percent); }, runHooks());
        afterRun(report);
        if (!report.readWarnings.empty())
            withWarnings << input + QLatin1Char('\n') + joined(report.readWarnings);
        ProgressBar1->setValue(i + 1);
    }
    Label3->show();
    if (!withWarnings.isEmpty())
        ui::showMessage(this, {ui::MessageKind::Warning,
                               QStringLiteral("%1 of the drawings opened with warnings; a save rebuilds what they name.")
                                   .arg(withWarnings.size()),
                               withWarnings.join(QStringLiteral("\n\n"))});
}

void TForm1::Fixdont() {
    if (m_running)
        return;
    RunGuard guard(*this, false);
    processMessages();
    ProgressBar1->setValue(0);
    processMessages();

    {
        filter::TDWGFileFilter f(m_fontTable, *m_frmRemap, *this);
        Filter = &f;
        f.CheckOnly = false;
        f.ConvertTexts = false;
        f.AutoCorrect = cbxAuto->isChecked();
        f.OutputFileName = ui::toUtf8(OutputFolder + fileNamePart(m_currentDrawing));
        f.OnProgress = [this](void*, int percent, int) { Progress(percent); };
        f.OnError = [this](void*, const std::string& message, int, bool&) { FilterError(ui::fromUtf8(message)); };
        f.ProcessMessages = processMessages;
        f.ProcessDrawing(ui::toUtf8(m_currentDrawing));
        while (!f.Finished)
            processMessages();
        m_frmRemap->exec();
        Filter = nullptr;
    }  // the filter and its records go; the style list was emptied with them
    ProgressBar1->setValue(0);
    Progress1->setValue(0);
}

void TForm1::Progress(int value) { ProgressBar1->setValue(std::min(value, ProgressBar1->maximum())); }

void TForm1::FilterError(const QString& message) {
    QString details;
    if (Filter)
        details = ui::fromUtf8(Filter->FileName) + QLatin1Char('\n') + ui::fromUtf8(Filter->OpenFailure);
    ui::showMessage(this, {ui::MessageKind::Plain, message, details});
    if (Filter)
        Filter->ReleaseEngine();
}

}  // namespace app
