#pragma once

#include <QByteArray>
#include <QString>

// Import sources meant to hurt, shared by the tests and the benchmark.

// A chain of nested folders "d" below root, built through descriptors: its path is longer
// than any the system takes whole. A link file "x.url" for http://level<N>/ lies at every
// hundredth level N. False when the file system refused a step.
bool MakeFolderChain(const QString& root, int depth);

// The Internet shortcut text for an address.
QByteArray ShortcutText(const QString& url);

// Bookmark files: links each with thousands of tags (half of them repeated) and a title
// full of '&'; folders nested thousands deep, each holding one link.
QByteArray ManyTagsBookmarkHtml(int links, int tagsEach);
QByteArray DeepFoldersBookmarkHtml(int depth);
