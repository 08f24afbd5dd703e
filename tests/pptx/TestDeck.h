#pragma once

#include <map>
#include <string>
#include <vector>

// A small .pptx deck assembled from XML strings: one master with a theme, one layout, and slides
// whose shape trees the test writes. Tests replace or remove any part to make malformed decks.
struct TestDeck {
    std::map<std::string, std::string> parts;

    // A deck of `slideCount` empty slides, 960 x 720 px, every slide on the one layout.
    static TestDeck minimal(int slideCount = 1);

    // Sets the shape tree (the children of p:spTree) of slide `n` (1-based).
    void setSlideTree(int n, const std::string& children);
    // Adds a relationship to a part's .rels (made when missing).
    void addRelation(const std::string& part, const std::string& id, const std::string& type,
                     const std::string& target);
    // Replaces the theme/master/layout text pieces most tests vary.
    void setMasterTxStyles(const std::string& txStyles);
    void setLayoutTree(const std::string& children);
    void setMasterTree(const std::string& children);

    std::string zipBytes() const;
    // Writes the zip to `path`; returns false on failure.
    bool writeTo(const std::string& path) const;

    static std::string relType(const std::string& kind);
    static std::string textShape(const std::string& placeholder, const std::string& xfrm, const std::string& paragraphs,
                                 const std::string& lstStyle = {});
    static std::string xfrm(long long x, long long y, long long cx, long long cy);

    std::string masterClrMap = R"(<p:clrMap bg1="lt1" tx1="dk1" bg2="lt2" tx2="dk2" accent1="accent1"/>)";
    std::string masterTxStyles;
    std::string masterTree;
    std::string layoutTree;
    void rebuildMasterAndLayout();
};

// Reads a file's bytes; empty on failure.
std::string readFileBytes(const std::string& path);
// Zip helpers over libzip: the entries of a zip, and a zip made of entries in the given order.
std::vector<std::pair<std::string, std::string>> unzipEntries(const std::string& zipBytes);
std::string zipEntries(const std::vector<std::pair<std::string, std::string>>& entries);
