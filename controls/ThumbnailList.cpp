#include "controls/ThumbnailList.h"

TThumbnailList::TThumbnailList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(SingleSelection);
}

int TThumbnailList::SelCount() const
{
    return int(selectedItems().size());
}
