#include "app/form1.h"

#include "platform/filelistview.h"

namespace zentrio {

namespace {

    constexpr unsigned kCheckMarkMask = 0xFFFFF000;

}

void Form1::setchecks(bool checked)
{
    const unsigned state = checked ? FileListView::kChecked : FileListView::kUnchecked;
    const int n = ListView1->count();
    for (int i = 0; i < n; ++i)
        ListView1->setItemState(i, state, kCheckMarkMask);
}

void Form1::invertchecks()
{
    const int n = ListView1->count();
    for (int i = 0; i < n; ++i) {
        const bool checked = ListView1->itemState(i, kCheckMarkMask) & FileListView::kChecked;
        ListView1->setItemState(i, checked ? FileListView::kUnchecked : FileListView::kChecked, kCheckMarkMask);
    }
}

} // namespace zentrio
