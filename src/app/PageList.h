#pragma once
// The option pages the main window owns, in the order they were opened, and
// which one is current (the last one active). No widget of its own: it
// knows the pages through IOptionPage and their windows by pointer, so the
// questions "which page has this file", "which page is current" and "in what
// order do the pages close" are answered here without a window.

#include <memory>
#include <vector>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/OptionPageHost.h"

namespace kestrava {

class PageList {
public:
    // Takes the page; nullptr (and nothing taken) for a page without a window.
    IOptionPage* Add(std::unique_ptr<IOptionPage> page);
    // Drops the entry of a window that was destroyed; its pointer is already
    // null then, so an entry without a window goes too.
    void Forget(const QObject* window);
    void Clear() { pages_.clear(); }

    int Count() const { return static_cast<int>(pages_.size()); }
    bool Holds(const QObject* window) const { return OfWindow(window) != nullptr; }
    IOptionPage* OfWindow(const QObject* window) const;
    // The page whose saved series is `path`. A new series' file is a bare
    // name until it is saved: it names no file yet.
    IOptionPage* OfFile(const QString& path) const;

    QWidget* Current() const { return current_; }
    IOptionPage* CurrentPage() const { return OfWindow(current_); }
    // A window that became active; one that is not a page changes nothing.
    void Activated(const QObject* window);
    void SetCurrent(QWidget* window) { current_ = window; }
    // After a page went: the newest page left is current.
    void CurrentToNewest();

    // The pages' windows in the order they were opened: the order in which
    // they close at exit, each asking about its own unsaved position. The
    // pointers stay safe while closing lets events run.
    std::vector<QPointer<QWidget>> Windows() const;

private:
    struct Entry {
        QPointer<QWidget> window;
        std::unique_ptr<IOptionPage> page;
    };
    std::vector<Entry> pages_;
    QPointer<QWidget> current_;
};

}  // namespace kestrava
