#pragma once

#include "readinglist/Pasteboard.h"
#include "readinglist/ReadingList.h"
#include "store/BlogPost.h"

namespace pressling {

// What the article list's row actions do with one stored article's link. Neither changes the
// article store or the subscription list, and neither tells the user anything: a failure goes
// to the console. Main thread (the pasteboard's).

// Keeps post's link on the reading list with its title and, as preview text, its feed's name
// (web). Does nothing when the link, the title or the feed's name is absent. The overload
// without a list uses ReadingList::defaultReadingList().
void addToReadingList(const BlogPost& post);
void addToReadingList(const BlogPost& post, ReadingList& list);

// Puts post's link on the pasteboard as a URL and as its text, exactly as stored; an article
// without a link empties the pasteboard of both. The overload without a pasteboard uses
// generalPasteboard(), and does nothing in a program that has none.
void copyLink(const BlogPost& post);
void copyLink(const BlogPost& post, Pasteboard& pasteboard);

}  // namespace pressling
