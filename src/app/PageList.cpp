#include "app/PageList.h"

#include <algorithm>

#include <QFileInfo>

#include "appcore/AppSession.h"

namespace kestrava {

IOptionPage* PageList::Add(std::unique_ptr<IOptionPage> page)
{
    if (!page || !page->Window())
        return nullptr;
    QWidget* window = page->Window();
    pages_.push_back({window, std::move(page)});
    return pages_.back().page.get();
}

void PageList::Forget(const QObject* window)
{
    const auto gone = std::find_if(pages_.begin(), pages_.end(), [window](const Entry& entry) {
        return !entry.window || entry.window == window;
    });
    if (gone != pages_.end())
        pages_.erase(gone);
}

IOptionPage* PageList::OfWindow(const QObject* window) const
{
    if (!window)
        return nullptr;
    for (auto entry = pages_.rbegin(); entry != pages_.rend(); ++entry)
        if (entry->window == window)
            return entry->page.get();
    return nullptr;
}

IOptionPage* PageList::OfFile(const QString& path) const
{
    for (const Entry& entry : pages_)
        if (entry.window && QFileInfo(entry.page->SeriesFile()).isAbsolute()
            && SameSeriesFile(path, entry.page->SeriesFile()))
            return entry.page.get();
    return nullptr;
}

void PageList::Activated(const QObject* window)
{
    for (const Entry& entry : pages_)
        if (entry.window && entry.window == window)
            current_ = entry.window;
}

void PageList::CurrentToNewest()
{
    for (auto entry = pages_.rbegin(); entry != pages_.rend(); ++entry) {
        if (entry->window) {
            current_ = entry->window;
            return;
        }
    }
}

std::vector<QPointer<QWidget>> PageList::Windows() const
{
    std::vector<QPointer<QWidget>> windows;
    windows.reserve(pages_.size());
    for (const Entry& entry : pages_)
        windows.push_back(entry.window);
    return windows;
}

}  // namespace kestrava
