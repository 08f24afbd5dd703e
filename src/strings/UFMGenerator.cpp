// Build-time generator of the UFM class: reads the entry table (accessor, key, comment; tab-separated, see
// UFMEntries.txt) and writes UFM.h and UFM.cpp with one accessor per entry, in table order.
// Usage: UFMGenerator <UFMEntries.txt> <UFM.h> <UFM.cpp>

#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string accessor;
    std::string key;     // empty for an alias
    std::string aliasOf; // empty unless an alias
    std::optional<std::string> comment;
    int line = 0;
};

bool isIdentifier(const std::string& text)
{
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

bool isPrintableAscii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    }
    return !text.empty();
}

// A C++ narrow string literal holding exactly the given UTF-8 bytes.
std::string literal(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '?') {
            out += "\\?"; // no trigraphs
        } else if (byte < 0x20 || byte > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, '\t'))
        fields.push_back(field);
    return fields;
}

bool fail(const std::string& file, int line, const std::string& message)
{
    std::cerr << file << ':' << line << ": " << message << '\n';
    return false;
}

bool readEntries(const std::string& path, std::vector<Entry>& entries)
{
    std::ifstream in(path);
    if (!in)
        return fail(path, 0, "cannot read the entry table");
    std::map<std::string, int> accessors;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = splitTabs(line);
        if (fields.size() < 2 || fields.size() > 3)
            return fail(path, number, "expected accessor, key and an optional comment separated by tabs");
        Entry entry;
        entry.line = number;
        entry.accessor = fields[0];
        if (!isIdentifier(entry.accessor))
            return fail(path, number, "the accessor name is not an identifier: " + entry.accessor);
        if (accessors.count(entry.accessor))
            return fail(path, number, "duplicate accessor " + entry.accessor);
        if (fields[1].size() > 1 && fields[1][0] == '=') {
            entry.aliasOf = fields[1].substr(1);
            if (fields.size() == 3)
                return fail(path, number, "an alias takes no comment");
        } else {
            entry.key = fields[1];
            if (!isPrintableAscii(entry.key))
                return fail(path, number, "keys are printable ASCII without blanks");
        }
        if (fields.size() == 3) {
            const std::string& quoted = fields[2];
            if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
                return fail(path, number, "the comment must be written in double quotes");
            entry.comment = quoted.substr(1, quoted.size() - 2);
        }
        accessors[entry.accessor] = number;
        entries.push_back(entry);
    }
    for (const Entry& entry : entries) {
        if (entry.aliasOf.empty())
            continue;
        const auto target = accessors.find(entry.aliasOf);
        if (target == accessors.end())
            return fail(path, entry.line, "alias of an unknown accessor " + entry.aliasOf);
        for (const Entry& other : entries) {
            if (other.accessor == entry.aliasOf && !other.aliasOf.empty())
                return fail(path, entry.line, "an alias must name an entry with a key");
        }
    }
    if (entries.empty())
        return fail(path, number, "the table has no entries");
    return true;
}

bool writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out) || fail(path, 0, "cannot write");
}

std::string header(const std::vector<Entry>& entries)
{
    std::ostringstream h;
    h << "// Generated by UFMGenerator from UFMEntries.txt: edit the table, not this file.\n"
         "#pragma once\n\n"
         "#include <span>\n\n"
         "#include <QString>\n\n"
         "#include \"strings/UFMEntry.h\"\n\n"
         "// The user-facing text table: one accessor per visible text, each looking its text up again on every\n"
         "// call (the user's language, else English, else the key itself). Callers fill %1, %2 placeholders with\n"
         "// QString::arg. Thread-safe.\n"
         "class UFM {\n"
         "public:\n"
         "    UFM() = delete;\n\n";
    for (const Entry& entry : entries)
        h << "    static QString " << entry.accessor << "();\n";
    h << "\n    // Every entry in declaration order.\n"
         "    static std::span<const UFMEntry> entries();\n"
         "};\n";
    return h.str();
}

std::string source(const std::vector<Entry>& entries)
{
    std::ostringstream c;
    c << "// Generated by UFMGenerator from UFMEntries.txt: edit the table, not this file.\n"
         "#include \"strings/UFM.h\"\n\n"
         "#include <array>\n\n"
         "#include \"strings/StringTables.h\"\n\n";
    for (const Entry& entry : entries) {
        c << "QString UFM::" << entry.accessor << "()\n{\n";
        if (!entry.aliasOf.empty())
            c << "    return " << entry.aliasOf << "();\n";
        else if (entry.comment)
            c << "    return LocalizedStringWithEnglishFallback(QStringLiteral(" << literal(entry.key)
              << "), QString::fromUtf8(" << literal(*entry.comment) << "));\n";
        else
            c << "    return LocalizedStringWithEnglishFallback(QStringLiteral(" << literal(entry.key) << "));\n";
        c << "}\n\n";
    }
    c << "std::span<const UFMEntry> UFM::entries()\n{\n"
      << "    static const std::array<UFMEntry, " << entries.size() << "> table{{\n";
    for (const Entry& entry : entries) {
        c << "        {" << literal(entry.accessor) << ", " << (entry.key.empty() ? "nullptr" : literal(entry.key))
          << ", " << (entry.comment ? literal(*entry.comment) : std::string("nullptr")) << ", "
          << (entry.aliasOf.empty() ? "nullptr" : literal(entry.aliasOf)) << ", &UFM::" << entry.accessor << "},\n";
    }
    c << "    }};\n    return table;\n}\n";
    return c.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: UFMGenerator <UFMEntries.txt> <UFM.h> <UFM.cpp>\n";
        return 2;
    }
    std::vector<Entry> entries;
    if (!readEntries(argv[1], entries))
        return 1;
    if (!writeFile(argv[2], header(entries)) || !writeFile(argv[3], source(entries)))
        return 1;
    return 0;
}
