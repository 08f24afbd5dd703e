#include "pptx/reader/OpcContainer.h"

#include <algorithm>
#include <cstring>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <zip.h>

namespace pptx {

namespace {

const char kContentTypesPart[] = "[Content_Types].xml";

bool endsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

bool isLocalName(xmlNodePtr node, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string attribute(xmlNodePtr node, const char* name)
{
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (a->ns || std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0)
            continue;
        xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
        std::string text = value ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        return text;
    }
    return {};
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
            if (hi >= 0 && lo >= 0 && (hi || lo)) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Relationship ids are ordered by their prefix, then by the number that ends them, so rId2 comes
// before rId10; ids that compare equal that way fall back to byte order.
bool relationBefore(const OpcRelation& a, const OpcRelation& b)
{
    auto split = [](const std::string& id) {
        std::size_t end = id.size();
        while (end > 0 && id[end - 1] >= '0' && id[end - 1] <= '9')
            --end;
        std::size_t firstDigit = end;
        while (firstDigit + 1 < id.size() && id[firstDigit] == '0')
            ++firstDigit;
        return std::make_pair(std::string_view(id).substr(0, end), std::string_view(id).substr(firstDigit));
    };
    const auto [prefixA, numberA] = split(a.id);
    const auto [prefixB, numberB] = split(b.id);
    if (prefixA != prefixB)
        return prefixA < prefixB;
    if (numberA.size() != numberB.size())
        return numberA.size() < numberB.size();
    if (numberA != numberB)
        return numberA < numberB;
    return a.id < b.id;
}

struct SafeParseState {
    bool sawDtd = false;
};

void refuseInternalSubset(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    static_cast<SafeParseState*>(ctxt->_private)->sawDtd = true;
    xmlStopParser(ctxt);
}

} // namespace

xmlDocPtr parseXmlSafely(const char* data, std::size_t size, std::string* message)
{
    if (size > OpcContainer::kMaxXmlPartSize || size > std::size_t(INT32_MAX)) {
        *message = "XML text too large";
        return nullptr;
    }
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        *message = "out of memory";
        return nullptr;
    }
    SafeParseState state;
    ctxt->_private = &state;
    ctxt->sax->internalSubset = refuseInternalSubset;
    ctxt->sax->externalSubset = refuseInternalSubset;
    // No XML_PARSE_NOENT (entities stay unexpanded), no DTD loading, no network, no XML_PARSE_HUGE so
    // libxml2's own limits on depth and text size stay in force.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, data, int(size), nullptr, nullptr, options);
    if (state.sawDtd || (doc && (doc->intSubset || doc->extSubset))) {
        xmlFreeDoc(doc);
        doc = nullptr;
        *message = "document type declarations are not accepted";
    } else if (!doc || !ctxt->wellFormed) {
        xmlFreeDoc(doc);
        doc = nullptr;
        const xmlError* error = xmlCtxtGetLastError(ctxt);
        *message = error && error->message ? error->message : "malformed XML";
        while (!message->empty() && message->back() == '\n')
            message->pop_back();
    } else if (!xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        doc = nullptr;
        *message = "no root element";
    }
    xmlFreeParserCtxt(ctxt);
    return doc;
}

OpcPartStream::~OpcPartStream()
{
    zip_fclose(m_file);
}

std::int64_t OpcPartStream::read(void* buffer, std::size_t size)
{
    if (!m_error.empty())
        return -1;
    const zip_int64_t n = zip_fread(m_file, buffer, size);
    if (n < 0) {
        const char* text = zip_file_strerror(m_file);
        m_error = text ? text : "read error";
        return -1;
    }
    m_read += std::uint64_t(n);
    if (m_read > m_limit) {
        m_error = "part is larger than allowed";
        return -1;
    }
    return n;
}

OpcContainer::~OpcContainer()
{
    if (m_zip)
        zip_discard(m_zip);
}

std::unique_ptr<OpcContainer> OpcContainer::openFile(const std::string& path, OpcError* error)
{
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) {
        zip_error_t zerror;
        zip_error_init_with_code(&zerror, code);
        *error = {OpcError::NotAPackage, zip_error_strerror(&zerror)};
        zip_error_fini(&zerror);
        return nullptr;
    }
    return openArchive(archive, error);
}

std::unique_ptr<OpcContainer> OpcContainer::openBytes(const void* data, std::size_t size, OpcError* error)
{
    auto container = std::unique_ptr<OpcContainer>(new OpcContainer);
    container->m_bytes.assign(static_cast<const char*>(data), size);
    zip_error_t zerror;
    zip_error_init(&zerror);
    zip_source_t* source = zip_source_buffer_create(container->m_bytes.data(), size, 0, &zerror);
    zip* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &zerror) : nullptr;
    if (!archive) {
        *error = {OpcError::NotAPackage, zip_error_strerror(&zerror)};
        zip_error_fini(&zerror);
        if (source)
            zip_source_free(source);
        return nullptr;
    }
    zip_error_fini(&zerror);
    container->m_zip = archive;
    if (!container->loadIndex(error))
        return nullptr;
    return container;
}

std::unique_ptr<OpcContainer> OpcContainer::openArchive(zip* archive, OpcError* error)
{
    auto container = std::unique_ptr<OpcContainer>(new OpcContainer);
    container->m_zip = archive;
    if (!container->loadIndex(error))
        return nullptr;
    return container;
}

bool OpcContainer::loadIndex(OpcError* error)
{
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count < 0 || std::uint64_t(count) > kMaxEntries) {
        *error = {OpcError::NotAPackage, "too many entries"};
        return false;
    }
    std::uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            *error = {OpcError::NotAPackage, "unreadable entry"};
            return false;
        }
        const std::string name = st.name;
        if (st.valid & ZIP_STAT_SIZE) {
            if (st.size > kMaxPartSize) {
                *error = {OpcError::TooLarge, "entry " + name + " is too large"};
                return false;
            }
            total += st.size;
            if (total > kMaxTotalSize) {
                *error = {OpcError::TooLarge, "package contents are too large"};
                return false;
            }
        }
        if (name.empty() || name.back() == '/')
            continue;
        if (!m_entries.emplace(name, zip_uint64_t(i)).second) {
            *error = {OpcError::NotAPackage, "duplicate entry " + name};
            return false;
        }
    }
    if (!m_entries.count(kContentTypesPart)) {
        *error = {OpcError::NotAPackage, "no content types"};
        return false;
    }
    for (const auto& [name, index] : m_entries) {
        if (name != kContentTypesPart && !endsWith(name, ".rels"))
            m_parts.push_back(name);
    }
    loadContentTypes();
    return true;
}

void OpcContainer::loadContentTypes()
{
    OpcError ignored;
    xmlDocPtr doc = parseXml(kContentTypesPart, &ignored);
    if (!doc)
        return;
    for (xmlNodePtr n = xmlDocGetRootElement(doc)->children; n; n = n->next) {
        if (isLocalName(n, "Default")) {
            m_defaults.emplace(lower(attribute(n, "Extension")), attribute(n, "ContentType"));
        } else if (isLocalName(n, "Override")) {
            std::string part = attribute(n, "PartName");
            if (!part.empty() && part.front() == '/')
                part.erase(0, 1);
            m_overrides.emplace(lower(part), attribute(n, "ContentType"));
        }
    }
    xmlFreeDoc(doc);
}

std::int64_t OpcContainer::entryIndex(const std::string& name) const
{
    const auto it = m_entries.find(name);
    return it == m_entries.end() ? -1 : std::int64_t(it->second);
}

bool OpcContainer::hasPart(const std::string& name) const
{
    return m_entries.count(name) != 0;
}

std::string OpcContainer::contentType(const std::string& name) const
{
    if (const auto it = m_overrides.find(lower(name)); it != m_overrides.end())
        return it->second;
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    if (const auto it = m_defaults.find(lower(name.substr(dot + 1))); it != m_defaults.end())
        return it->second;
    return {};
}

std::string OpcContainer::resolveTarget(const std::string& sourcePart, const std::string& target)
{
    std::string path = percentDecoded(target.substr(0, target.find_first_of("#?")));
    if (path.empty())
        return {};
    std::vector<std::string> segments;
    if (path.front() != '/') {
        std::size_t start = 0;
        const std::size_t folderEnd = sourcePart.rfind('/');
        const std::string folder = folderEnd == std::string::npos ? std::string() : sourcePart.substr(0, folderEnd);
        while (start < folder.size()) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos)
                end = folder.size();
            if (end > start)
                segments.push_back(folder.substr(start, end - start));
            start = end + 1;
        }
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return {};
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& s : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += s;
    }
    return resolved;
}

const std::vector<OpcRelation>& OpcContainer::relations(const std::string& partName)
{
    if (const auto it = m_relations.find(partName); it != m_relations.end())
        return it->second;
    std::vector<OpcRelation>& list = m_relations[partName];
    const std::size_t slash = partName.rfind('/');
    const std::string relsName = slash == std::string::npos
                                     ? "_rels/" + partName + ".rels"
                                     : partName.substr(0, slash) + "/_rels/" + partName.substr(slash + 1) + ".rels";
    if (!hasPart(relsName))
        return list;
    OpcError ignored;
    xmlDocPtr doc = parseXml(relsName, &ignored);
    if (!doc)
        return list;
    for (xmlNodePtr n = xmlDocGetRootElement(doc)->children; n; n = n->next) {
        if (!isLocalName(n, "Relationship"))
            continue;
        OpcRelation relation;
        relation.id = attribute(n, "Id");
        relation.type = attribute(n, "Type");
        const std::string target = attribute(n, "Target");
        relation.external = attribute(n, "TargetMode") == "External";
        relation.target = relation.external ? target : resolveTarget(partName, target);
        if (relation.id.empty() || (!relation.external && relation.target.empty()))
            continue;
        list.push_back(std::move(relation));
    }
    xmlFreeDoc(doc);
    std::stable_sort(list.begin(), list.end(), relationBefore);
    return list;
}

const OpcRelation* OpcContainer::firstRelation(const std::string& partName, const std::string& type)
{
    for (const OpcRelation& relation : relations(partName))
        if (relation.type == type)
            return &relation;
    return nullptr;
}

std::unique_ptr<OpcPartStream> OpcContainer::openStream(const std::string& name, OpcError* error)
{
    const std::int64_t index = entryIndex(name);
    if (index < 0) {
        *error = {OpcError::NoSuchPart, "no part " + name};
        return nullptr;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    std::uint64_t limit = kMaxPartSize;
    if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
        limit = std::min<std::uint64_t>(limit, st.size);
    zip_file* file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file) {
        const char* text = zip_strerror(m_zip);
        *error = {OpcError::ReadFailed, text ? text : "cannot open part"};
        return nullptr;
    }
    return std::unique_ptr<OpcPartStream>(new OpcPartStream(file, limit));
}

bool OpcContainer::readPart(const std::string& name, std::string* out, OpcError* error, std::uint64_t limit)
{
    const std::int64_t index = entryIndex(name);
    if (index < 0) {
        *error = {OpcError::NoSuchPart, "no part " + name};
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) && st.size > limit) {
        *error = {OpcError::TooLarge, "part " + name + " is too large"};
        return false;
    }
    auto stream = openStream(name, error);
    if (!stream)
        return false;
    // Read straight into the result. With a declared size (within the limit, checked above) one pass
    // fills it and a final read must find the end; the stream itself refuses a part longer than it
    // claimed. Without one the buffer grows up to the limit.
    const bool sized = st.valid & ZIP_STAT_SIZE;
    out->resize(sized ? std::size_t(st.size) : std::size_t(0));
    std::size_t got = 0;
    for (;;) {
        if (got == out->size()) {
            char probe;
            const std::int64_t n = stream->read(&probe, 1);
            if (n == 0)
                break;
            if (n < 0) {
                *error = {OpcError::ReadFailed, stream->errorMessage()};
                return false;
            }
            if (sized || got >= limit) {
                *error = {OpcError::TooLarge, "part " + name + " is too large"};
                return false;
            }
            out->resize(std::min<std::size_t>(limit, std::max<std::size_t>(out->size() * 2, 65536)));
            (*out)[got++] = probe;
            continue;
        }
        const std::int64_t n = stream->read(out->data() + got, out->size() - got);
        if (n < 0) {
            *error = {OpcError::ReadFailed, stream->errorMessage()};
            return false;
        }
        if (n == 0) {
            if (sized) {
                *error = {OpcError::ReadFailed, "part " + name + " is shorter than it claims"};
                return false;
            }
            break;
        }
        got += std::size_t(n);
    }
    out->resize(got);
    return true;
}

xmlDocPtr OpcContainer::parseXml(const std::string& name, OpcError* error)
{
    std::string text;
    if (!readPart(name, &text, error))
        return nullptr;
    std::string message;
    xmlDocPtr doc = parseXmlSafely(text.data(), text.size(), &message);
    if (!doc)
        *error = {OpcError::BadXml, name + ": " + message};
    return doc;
}

} // namespace pptx
