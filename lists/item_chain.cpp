#include "lists/item_chain.h"

namespace {
bool selected(const DownloadItem* item) { return (item->viewState & kRowSelected) != 0; }
}  // namespace

void appendItem(DownloadList& list, DownloadItem* item) {
    item->next = nullptr;
    DownloadItem** link = &list.head;
    while (*link) link = &(*link)->next;
    *link = item;
}

int itemPosition(const DownloadList& list, const DownloadItem* item) {
    int pos = 0;
    for (const DownloadItem* x = list.head; x; x = x->next, ++pos)
        if (x == item) return pos;
    return -1;
}

int itemRow(const DownloadList& list, const DownloadItem* item) {
    int row = 0;
    for (const DownloadItem* x = list.head; x; x = x->next) {
        if (x == item) return hasRow(*x) ? row : -1;
        if (hasRow(*x)) ++row;
    }
    return -1;
}

bool unlinkItem(DownloadList& list, DownloadItem* item) {
    for (DownloadItem** link = &list.head; *link; link = &(*link)->next) {
        if (*link == item) {
            *link = item->next;
            item->next = nullptr;
            return true;
        }
    }
    return false;
}

int countSelected(const DownloadList& list) {
    int n = 0;
    for (const DownloadItem* x = list.head; x; x = x->next)
        if (selected(x)) ++n;
    return n;
}

bool moveRunsUp(DownloadList& list) {
    int left = countSelected(list);
    bool moved = false;
    // `link` points at the pointer that leads to p, the item in front of x.
    DownloadItem** link = &list.head;
    while (left > 0 && *link && (*link)->next) {
        DownloadItem* p = *link;
        DownloadItem* x = p->next;
        if (selected(x) && !selected(p)) {
            DownloadItem* r = x;
            int run = 1;
            while (r->next && selected(r->next)) {
                r = r->next;
                ++run;
            }
            DownloadItem* c = r->next;
            *link = x;
            r->next = p;
            p->next = c;
            moved = true;
            left -= run;
            link = &r->next;  // p now follows r; continue with p in front of c
        } else {
            if (selected(p)) left -= 1;  // a run that already starts at the top stays where it is
            link = &p->next;
        }
    }
    return moved;
}

bool moveRunsDown(DownloadList& list) {
    int left = countSelected(list);
    bool moved = false;
    DownloadItem** link = &list.head;  // the pointer that leads to x
    while (left > 0 && *link) {
        DownloadItem* x = *link;
        if (!selected(x)) {
            link = &x->next;
            continue;
        }
        DownloadItem* r = x;
        int run = 1;
        while (r->next && selected(r->next)) {
            r = r->next;
            ++run;
        }
        DownloadItem* c = r->next;
        if (!c) break;  // the run ends at the bottom
        *link = c;
        r->next = c->next;
        c->next = x;
        moved = true;
        left -= run;
        link = &r->next;
    }
    return moved;
}
