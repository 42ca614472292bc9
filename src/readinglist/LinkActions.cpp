#include "readinglist/LinkActions.h"

#include "platform/Log.h"

namespace pressling {

void addToReadingList(const BlogPost& post) {
    if (!post.link || !post.title || !post.web) return;
    auto list = ReadingList::defaultReadingList();
    if (!list) {
        log::error("Cannot add to the reading list: " + list.error().message);
        return;
    }
    addToReadingList(post, *list);
}

void addToReadingList(const BlogPost& post, ReadingList& list) {
    if (!post.link || !post.title || !post.web) return;
    if (auto added = list.addReadingListItem(*post.link, *post.title, *post.web); !added) {
        log::error("Cannot add to the reading list: " + added.error().message);
    }
}

void copyLink(const BlogPost& post) {
    if (Pasteboard* pasteboard = generalPasteboard()) copyLink(post, *pasteboard);
}

void copyLink(const BlogPost& post, Pasteboard& pasteboard) {
    if (!post.link) {
        pasteboard.setContents(std::nullopt, std::nullopt);
        return;
    }
    pasteboard.setContents(post.link, post.link->absoluteString());
}

}  // namespace pressling
