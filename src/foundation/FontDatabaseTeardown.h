#pragma once

// Keeps the end of a command-line tool cheap. When the application object is destroyed, Qt's fontconfig font
// database frees fontconfig's current configuration, and fontconfig loads that configuration first (every
// configuration file, every font cache) if nothing has asked for fonts yet: half of what a one-slide import costs.
//
// Made right after the application object (so destroyed right before it), an instance hands fontconfig an empty
// configuration in its place; fontconfig frees the one in use, if any, and the application's teardown frees the
// empty one. Only for the end of the program: nothing may look fonts up after it, on any thread.
class FontDatabaseTeardown {
public:
    FontDatabaseTeardown() = default;
    ~FontDatabaseTeardown();
    FontDatabaseTeardown(const FontDatabaseTeardown&) = delete;
    FontDatabaseTeardown& operator=(const FontDatabaseTeardown&) = delete;
};
