#pragma once

#include <cstddef>
#include <cstdint>

// What the package libFuzzer harness runs on each input; the package corpus replay runs the same function.
//
// An input is parts split by lines of "----": the plan, the draft, the published copy, the metadata and the names
// of the files in "assets/" (one a line). In the documents "@PKG@" stands for the package's folder and "@OUT@" for a
// folder of the user's outside it. Each letter of the plan turns something of the package into a symbolic link or
// asks for one of the things the application does with a package:
//   a / p   "assets" / "published_assets" leads to the user's folder     A / P  ... to the other one of the two
//   d / u / m   the draft / the published copy / the metadata leads to a file of the user's
//   f       every asset file leads to a file of the user's of its name    g      the package folder is a link
//   x       the links made after it lead nowhere                           l      "assets" leads to itself
//   U unpublish, S publish the draft, D copy the document, X delete the package (after opening and cleaning it).
namespace tessfuzz {

// Builds the package in a fresh folder, shows it in My Documents as the library does (the scan, the tile's
// picture written and adopted, a picture fetched into the package), opens and cleans it as the creator does, then
// runs the plan's actions. Returns false when any file of the user's folder was changed, removed or added (nothing
// done to a package may reach through a link), or when the opened document, written and read back, does not
// write the same. It must return normally for any input.
bool openAndCleanPackage(const std::uint8_t* data, std::size_t size);

} // namespace tessfuzz
