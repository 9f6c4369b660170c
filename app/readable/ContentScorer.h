#pragma once

#include <QtGlobal>
#include <vector>

namespace quillory {

class FlatDocument;

// Finds where a page's article is, the way readers have long done it: every paragraph of
// 25 bytes or more scores by its length and commas, and hands its score to its parent in
// full, to its grandparent in half and to the level above in a sixth. An element's own hints
// (its tag, "article" or "sidebar" in its class or id) start its score, and its share of
// link text takes from it. The best element wins, with those of its siblings that score
// close to it or read as plain paragraphs, so an article split over several blocks is kept
// whole. One pass over the flat document, then one over the winner's siblings.
class ContentScorer final
{
public:
    // The elements whose subtrees hold the article, in document order; empty when no
    // paragraph anywhere scores.
    static std::vector<qint32> choose(const FlatDocument &document);
};

} // namespace quillory
