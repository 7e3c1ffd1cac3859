#pragma once

#include "rename/folderrun/runplan.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zentrio {

class InterfaceTexts;

// The preview of a batch rename: every checked file in list order with its
// old name, its new name and what the run will do with it, a line that
// counts each outcome, and two buttons: run the rename, or close.
class RunPreview final : public QDialog {
    Q_OBJECT
public:
    RunPreview(const std::vector<PlanStep>& steps, const InterfaceTexts& texts, std::function<void()> run,
        QWidget* parent = nullptr);

    QLabel* summary = nullptr;
    QTreeWidget* rows = nullptr;
    QPushButton* runButton = nullptr;
    QPushButton* closeButton = nullptr;

    // The words the window shows for an outcome.
    static QString outcomeText(StepOutcome outcome, const InterfaceTexts& texts);
};

} // namespace zentrio
