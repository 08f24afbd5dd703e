#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <libxml/tree.h>

struct zip;
struct zip_file;

namespace pptx {

// One relationship of the package or of a part. `target` is the part name the target resolves to
// (no leading "/", "." and ".." segments folded) for internal relationships, the text as written for
// external ones.
struct OpcRelation {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

// Why a container operation failed; `code` is one of the container's error kinds.
struct OpcError {
    enum Kind { None = 0, NotAPackage, NoSuchPart, ReadFailed, TooLarge, BadXml };
    Kind kind = None;
    std::string message;
};

class OpcContainer;

// Reads one part in chunks. `read` returns the number of bytes read, 0 at the end of the part and
// -1 on a read error (a corrupt entry, or a part larger than it claimed), which is never mistaken
// for the end.
class OpcPartStream {
public:
    ~OpcPartStream();
    OpcPartStream(const OpcPartStream&) = delete;
    OpcPartStream& operator=(const OpcPartStream&) = delete;
    std::int64_t read(void* buffer, std::size_t size);
    const std::string& errorMessage() const { return m_error; }

private:
    friend class OpcContainer;
    OpcPartStream(zip_file* file, std::uint64_t limit)
        : m_file(file)
        , m_limit(limit)
    {
    }
    zip_file* m_file;
    std::uint64_t m_limit;
    std::uint64_t m_read = 0;
    std::string m_error;
};

// A read-only Open Packaging Conventions package over a ZIP file (libzip) whose XML parts are parsed
// with libxml2. Guards for untrusted input: the sum of the declared entry sizes and each part's size
// are capped, so a ZIP bomb is refused before anything large is allocated; duplicate entry names are
// refused; XML is parsed from memory with no network access and a part that declares a DTD is refused,
// so entity expansion and external entities cannot happen. Single-threaded.
class OpcContainer {
public:
    static constexpr std::uint64_t kMaxXmlPartSize = 64ull << 20;
    static constexpr std::uint64_t kMaxPartSize = 512ull << 20;
    static constexpr std::uint64_t kMaxTotalSize = 2ull << 30;
    static constexpr std::uint64_t kMaxEntries = 100000;

    ~OpcContainer();
    OpcContainer(const OpcContainer&) = delete;
    OpcContainer& operator=(const OpcContainer&) = delete;

    static std::unique_ptr<OpcContainer> openFile(const std::string& path, OpcError* error);
    // The bytes are copied; the caller's buffer may go away at once.
    static std::unique_ptr<OpcContainer> openBytes(const void* data, std::size_t size, OpcError* error);

    // Part names in byte-wise order, without "[Content_Types].xml", the relationship parts and folders.
    const std::vector<std::string>& partNames() const { return m_parts; }
    bool hasPart(const std::string& name) const;
    // The Override for the part, else the Default for its extension (case-insensitive), else "".
    std::string contentType(const std::string& name) const;
    // Relationships of a part ("" for the package): ids with the same prefix in the order of their
    // numbers (rId2 before rId10), otherwise byte-wise. A missing or malformed relationship part gives none.
    const std::vector<OpcRelation>& relations(const std::string& partName);
    const OpcRelation* firstRelation(const std::string& partName, const std::string& type);

    std::unique_ptr<OpcPartStream> openStream(const std::string& name, OpcError* error);
    bool readPart(const std::string& name, std::string* out, OpcError* error, std::uint64_t limit = kMaxXmlPartSize);
    // The caller owns the document (xmlFreeDoc).
    xmlDocPtr parseXml(const std::string& name, OpcError* error);

    // Folds "." and ".." and resolves `target` against the folder of `sourcePart`; "" when the target
    // leaves the package.
    static std::string resolveTarget(const std::string& sourcePart, const std::string& target);

private:
    OpcContainer() = default;
    static std::unique_ptr<OpcContainer> openArchive(zip* archive, OpcError* error);
    bool loadIndex(OpcError* error);
    void loadContentTypes();
    std::int64_t entryIndex(const std::string& name) const;

    zip* m_zip = nullptr;
    std::string m_bytes; // backing store when opened from memory
    std::map<std::string, std::uint64_t> m_entries;
    std::vector<std::string> m_parts;
    std::map<std::string, std::string> m_defaults;  // lower-case extension -> content type
    std::map<std::string, std::string> m_overrides; // part name -> content type
    std::map<std::string, std::vector<OpcRelation>> m_relations;
};

// Parses XML text as the container does for its parts: no network, no DTD, no entity substitution.
// Returns nullptr (with a message) for malformed text or text that declares a DTD.
xmlDocPtr parseXmlSafely(const char* data, std::size_t size, std::string* message);

} // namespace pptx
