// Drives an installed wing-utility from inside, as its user would: a Qt plugin that the
// program loads at start (QT_PLUGIN_PATH names this plugin's folder,
// QT_QPA_GENERIC_PLUGINS=wingdriver asks for it), so the program under test is the
// packaged binary, unchanged. It presses LINK, then Read and Save, then Exit, answers
// any message box with its default button, and writes what the window showed, one
// line each, to the file named by WING_DRIVER_REPORT:
//   box <text>                            a message box that came up
//   linked <serial number>
//   read <counter>|<read message>|<error line>
//   timeout <step>                        then the program is ended with status 3

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGenericPlugin>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "window/view_constants.h"

namespace {

using namespace wing;

class Driver : public QObject {
public:
    Driver() {
        const char* path = std::getenv("WING_DRIVER_REPORT");
        m_report = std::fopen(path != nullptr ? path : "/dev/stderr", "w");
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, [this] { Step(); });
        m_timer.start(50);
    }

private:
    enum class Stage { WaitForWindow, Linking, Reading, Exiting };

    // The main window's control with this id (the dialog sets the id on each control).
    static QWidget* Item(int id) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            const auto children = top->findChildren<QWidget*>();
            auto isLink = [](QWidget* w) { return w->property("wingControlId").toInt() == IDC_LINK; };
            if (std::none_of(children.begin(), children.end(), isLink)) continue;
            for (QWidget* w : children)
                if (w->property("wingControlId").toInt() == id) return w;
        }
        return nullptr;
    }
    static bool Enabled(int id) {
        QWidget* w = Item(id);
        return w != nullptr && w->isEnabled() && w->isVisible();
    }
    static int Progress(int id) {
        auto* bar = qobject_cast<QProgressBar*>(Item(id));
        return bar != nullptr ? bar->value() : -1;
    }
    static QString Text(int id) {
        auto* label = qobject_cast<QLabel*>(Item(id));
        return label != nullptr ? label->text() : QString();
    }
    static void Click(int id) {
        if (auto* button = qobject_cast<QAbstractButton*>(Item(id))) button->click();
    }

    void Report(const QString& line) {
        std::fprintf(m_report, "%s\n", line.toUtf8().constData());
        std::fflush(m_report);
    }
    void Next(Stage stage) {
        m_stage = stage;
        m_clock.restart();
    }

    // A box waits for a press that nobody else will make: note it and take its default.
    bool AnswerBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return false;
        Report(QStringLiteral("box ") + box->text());
        QAbstractButton* button = box->defaultButton();
        if (button == nullptr && !box->buttons().isEmpty()) button = box->buttons().first();
        if (button != nullptr) button->click();
        return true;
    }

    void Step() {
        if (AnswerBox()) return;
        switch (m_stage) {
            case Stage::WaitForWindow:
                if (Enabled(IDC_LINK)) {
                    Click(IDC_LINK);
                    Next(Stage::Linking);
                }
                return GiveUpAfter(20, "window");
            case Stage::Linking:
                if (Progress(IDC_LINK_PROGRESS) == kLinkProgressLinked && Enabled(IDC_READ_SAVE)) {
                    Report(QStringLiteral("linked ") + Text(IDC_SERIAL));
                    Click(IDC_READ_SAVE);
                    // A read that starts disables the button at once; one refused leaves it.
                    if (Enabled(IDC_READ_SAVE)) return EndRead();
                    Next(Stage::Reading);
                }
                return GiveUpAfter(20, "link");
            case Stage::Reading:
                // The button comes back when the read and its files are done, or it failed.
                if (Enabled(IDC_READ_SAVE) && Enabled(IDC_LINK) && Enabled(IDC_EXIT)) return EndRead();
                return GiveUpAfter(90, "read");
            case Stage::Exiting:
                return GiveUpAfter(20, "exit");
        }
    }

    void EndRead() {
        Report(QStringLiteral("read ") + Text(IDC_READ_COUNTER) + '|' + Text(IDC_READ_MESSAGE) + '|' +
               Text(IDC_ERROR_LINE));
        Click(IDC_EXIT);
        Next(Stage::Exiting);
    }

    void GiveUpAfter(int seconds, const char* step) {
        if (m_clock.elapsed() < seconds * 1000) return;
        Report(QStringLiteral("timeout ") + QLatin1String(step));
        ::_exit(3);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::WaitForWindow;
    std::FILE* m_report = nullptr;
};

class DriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "program_driver.json")
public:
    QObject* create(const QString& key, const QString&) override {
        return key.compare(QLatin1String("wingdriver"), Qt::CaseInsensitive) == 0 ? new Driver : nullptr;
    }
};

}  // namespace

#include "program_driver.moc"
