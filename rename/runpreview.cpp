#include "rename/runpreview.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"
#include "platform/fs/filenames.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace zentrio {

namespace {

    constexpr StepOutcome kOutcomes[] = { StepOutcome::Renamed, StepOutcome::Unchanged, StepOutcome::Skipped,
        StepOutcome::NameTaken, StepOutcome::SameAsEarlier, StepOutcome::Unreadable, StepOutcome::NotReached };

    // "rename: 12, keep (same name): 1, ..." for the outcomes that occur.
    QString countLine(const std::vector<PlanStep>& steps, const InterfaceTexts& texts)
    {
        std::map<StepOutcome, int> counts;
        for (const PlanStep& step : steps)
            ++counts[step.outcome];
        QStringList parts;
        for (StepOutcome outcome : kOutcomes) {
            if (counts[outcome] > 0)
                parts << RunPreview::outcomeText(outcome, texts) + QStringLiteral(": ") + QString::number(counts[outcome]);
        }
        return parts.join(QStringLiteral(", "));
    }

} // namespace

QString RunPreview::outcomeText(StepOutcome outcome, const InterfaceTexts& texts)
{
    switch (outcome) {
    case StepOutcome::Renamed:
        return texts.message(QStringLiteral("prenamed"));
    case StepOutcome::Unchanged:
        return texts.message(QStringLiteral("punchanged"));
    case StepOutcome::Skipped:
        return texts.message(QStringLiteral("pskipped"));
    case StepOutcome::NameTaken:
        return texts.message(QStringLiteral("ptaken"));
    case StepOutcome::SameAsEarlier:
        return texts.message(QStringLiteral("psame"));
    case StepOutcome::Unreadable:
        return texts.message(QStringLiteral("punreadable"));
    case StepOutcome::NotReached:
        break;
    }
    return texts.message(QStringLiteral("pnotreached"));
}

RunPreview::RunPreview(
    const std::vector<PlanStep>& steps, const InterfaceTexts& texts, std::function<void()> run, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("runPreview"));
    setWindowTitle(texts.message(QStringLiteral("ptitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    summary = new QLabel(steps.empty() ? texts.message(QStringLiteral("pnone")) : countLine(steps, texts), this);
    summary->setWordWrap(true);
    rows = new QTreeWidget(this);
    rows->setRootIsDecorated(false);
    rows->setHeaderLabels({ texts.message(QStringLiteral("pold")), texts.message(QStringLiteral("pnew")),
        texts.message(QStringLiteral("pwhat")) });
    rows->setAccessibleName(texts.message(QStringLiteral("ptitle")));
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(steps.size()));
    for (const PlanStep& step : steps) {
        items << new QTreeWidgetItem(
            { nameForDisplay(step.oldName), nameForDisplay(step.newName), outcomeText(step.outcome, texts) });
    }
    // Fixed widths and uniform rows: measuring 3000 rows would cost more
    // than the whole plan.
    rows->setUniformRowHeights(true);
    rows->addTopLevelItems(items);
    rows->setColumnWidth(0, 280);
    rows->setColumnWidth(1, 280);

    runButton = new QPushButton(texts.message(QStringLiteral("prun")), this);
    closeButton = new QPushButton(texts.message(QStringLiteral("pclose")), this);
    closeButton->setDefault(true);
    connect(runButton, &QPushButton::clicked, this, [this, run = std::move(run)] {
        close();
        run();
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(rows);
    layout->addLayout(buttonRow({ runButton, closeButton }));
    resize(760, 420);
}

} // namespace zentrio
