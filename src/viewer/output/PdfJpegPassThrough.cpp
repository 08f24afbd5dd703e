#include "viewer/output/PdfJpegPassThrough.h"

#include <algorithm>
#include <map>

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImageReader>

#include "elements/images/ImageUtils.h"
#include "viewer/ViewerLogging.h"

namespace {

// A stand-in is one row of kStandInWidth pixels; its colour bytes, read row by row as the PDF stores them, begin
// with kMagic and the file's number (four bytes, most significant first).
constexpr int kStandInWidth = 16;
const QByteArray kMagic = QByteArrayLiteral("TsJpgPT1");
// Objects longer than this are no stand-in: a stand-in's object is its dictionary and a few dozen bytes.
constexpr qsizetype kLongestStandInObject = 2048;

QByteArray standInBytes(int number)
{
    QByteArray bytes = kMagic;
    bytes.append(char((number >> 24) & 0xff));
    bytes.append(char((number >> 16) & 0xff));
    bytes.append(char((number >> 8) & 0xff));
    bytes.append(char(number & 0xff));
    bytes.resize(kStandInWidth * 3, '\0');
    return bytes;
}

QImage standInPicture(int number)
{
    const QByteArray bytes = standInBytes(number);
    QImage picture(kStandInWidth, 1, QImage::Format_RGB32);
    for (int x = 0; x < kStandInWidth; ++x)
        picture.setPixel(x, 0, qRgb(uchar(bytes[3 * x]), uchar(bytes[3 * x + 1]), uchar(bytes[3 * x + 2])));
    return picture;
}

int twoBytes(const QByteArray& data, qsizetype at)
{
    return (uchar(data[at]) << 8) | uchar(data[at + 1]);
}

// The number a decoded stand-in carries, or -1.
int standInNumber(const QByteArray& pixels)
{
    if (pixels.size() != kStandInWidth * 3 || !pixels.startsWith(kMagic))
        return -1;
    const qsizetype at = kMagic.size();
    return (uchar(pixels[at]) << 24) | (uchar(pixels[at + 1]) << 16) | (uchar(pixels[at + 2]) << 8) |
           uchar(pixels[at + 3]);
}

// The stream of an object written as "<< … >> stream … endstream", undone when it is deflated; empty when the
// object is not such a stream.
QByteArray decodedStream(const QByteArray& object)
{
    const qsizetype dictionaryEnd = object.indexOf(">>");
    const qsizetype keyword = object.indexOf("stream", dictionaryEnd);
    const qsizetype end = object.lastIndexOf("endstream");
    if (dictionaryEnd < 0 || keyword < 0 || end < 0 || end <= keyword)
        return {};
    qsizetype begin = keyword + 6;
    if (begin < object.size() && object[begin] == '\r')
        ++begin;
    if (begin < object.size() && object[begin] == '\n')
        ++begin;
    const QByteArray dictionary = object.left(dictionaryEnd);
    const bool deflated = dictionary.contains("/FlateDecode");
    // The end of line before "endstream" may or may not belong to the data: try without it first.
    for (qsizetype trim : {qsizetype(1), qsizetype(0), qsizetype(2)}) {
        const qsizetype length = end - begin - trim;
        if (length < 0)
            continue;
        const QByteArray raw = object.mid(begin, length);
        if (!deflated)
            return raw;
        QByteArray sized(4, '\0');
        const quint32 expected = kStandInWidth * 3;
        sized[0] = char(expected >> 24);
        sized[1] = char(expected >> 16);
        sized[2] = char(expected >> 8);
        sized[3] = char(expected);
        const QByteArray inflated = qUncompress(sized + raw);
        if (!inflated.isEmpty())
            return inflated;
    }
    return {};
}

qsizetype skipSpace(const QByteArray& data, qsizetype at)
{
    while (at < data.size() && (data[at] == ' ' || data[at] == '\n' || data[at] == '\r' || data[at] == '\t'))
        ++at;
    return at;
}

// Reads one whitespace-delimited token at `at` and moves past it.
QByteArray token(const QByteArray& data, qsizetype& at)
{
    at = skipSpace(data, at);
    const qsizetype begin = at;
    while (at < data.size() && data[at] != ' ' && data[at] != '\n' && data[at] != '\r' && data[at] != '\t')
        ++at;
    return data.mid(begin, at - begin);
}

} // namespace

bool PdfJpegPassThrough::readJpegFacts(const QByteArray& data, JpegFacts* facts)
{
    if (data.size() < 4 || uchar(data[0]) != 0xff || uchar(data[1]) != 0xd8)
        return false;
    qsizetype at = 2;
    bool haveFrame = false;
    while (at + 4 <= data.size()) {
        if (uchar(data[at]) != 0xff)
            return false;
        while (at < data.size() && uchar(data[at]) == 0xff)
            ++at;
        if (at + 3 > data.size())
            return false;
        const uchar marker = uchar(data[at]);
        ++at;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
            continue;
        const int length = twoBytes(data, at);
        if (length < 2 || at + length > data.size())
            return false;
        // Baseline, extended and progressive Huffman frames are what PDF readers decode; the others (lossless,
        // hierarchical, arithmetic) are left to Qt.
        if (marker == 0xc0 || marker == 0xc1 || marker == 0xc2) {
            if (length < 8)
                return false;
            const int precision = uchar(data[at + 2]);
            facts->height = twoBytes(data, at + 3);
            facts->width = twoBytes(data, at + 5);
            facts->components = uchar(data[at + 7]);
            if (precision != 8 || facts->width <= 0 || facts->height <= 0 ||
                (facts->components != 1 && facts->components != 3))
                return false;
            haveFrame = true;
        } else if ((marker >= 0xc3 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)) {
            return false;
        } else if (marker == 0xda) {
            // The scans follow; a complete file ends its last one with an end-of-image marker.
            const qsizetype lastScan = data.lastIndexOf("\xFF\xDA");
            return haveFrame && lastScan >= 0 && data.indexOf("\xFF\xD9", lastScan + 2) >= 0;
        }
        at += length;
    }
    return false;
}

QImage PdfJpegPassThrough::standInForFile(const QString& path, const QSize& pixels)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    if (const auto found = m_byPath.constFind(key); found != m_byPath.constEnd())
        return m_files[found.value()].standIn;
    // A file turned by its own metadata is shown turned: its bytes would show it the other way.
    QImageReader reader(path);
    if (reader.format() != "jpeg" || reader.transformation() != QImageIOHandler::TransformationNone)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    JpegFacts facts;
    // The picture drawn may be the file decoded at a reduced size (a large photo): the file goes in whole all the
    // same, at its own resolution.
    if (!readJpegFacts(data, &facts) || ImageUtils::decodedSize(QSize(facts.width, facts.height)) != pixels)
        return {};
    File entry;
    entry.path = key;
    entry.size = data.size();
    entry.facts = facts;
    entry.standIn = standInPicture(int(m_files.size()));
    m_byPath.insert(key, int(m_files.size()));
    m_files.append(entry);
    return entry.standIn;
}

bool PdfJpegPassThrough::rewrite(const QByteArray& written, QIODevice& out) const
{
    const auto fail = [](const char* why) {
        qCWarning(lcViewer) << "PDF export cannot put its pictures in as they are:" << why;
        return false;
    };
    const qsizetype startxref = written.lastIndexOf("startxref");
    if (startxref < 0)
        return fail("no cross-reference offset");
    qsizetype at = startxref + 9;
    bool ok = false;
    const qsizetype xref = token(written, at).toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= startxref || written.mid(xref, 4) != "xref")
        return fail("no cross-reference table");
    const qsizetype trailer = written.indexOf("trailer", xref);
    if (trailer < 0 || trailer > startxref)
        return fail("no trailer");

    // Object number → offset, for the objects in use; every subsection of the table.
    std::map<qsizetype, int> objectAt; // offset → object number
    std::vector<qint64> offsets;       // by object number; -1 for free entries
    at = xref + 4;
    while (skipSpace(written, at) < trailer) {
        const qint64 first = token(written, at).toLongLong(&ok);
        if (!ok)
            return fail("unreadable cross-reference subsection");
        const qint64 count = token(written, at).toLongLong(&ok);
        if (!ok || first < 0 || count < 0 || first + count > 10'000'000)
            return fail("unreadable cross-reference subsection");
        if (qint64(offsets.size()) < first + count)
            offsets.resize(std::size_t(first + count), -1);
        for (qint64 i = 0; i < count; ++i) {
            const qint64 offset = token(written, at).toLongLong(&ok);
            (void)token(written, at);
            const QByteArray kind = token(written, at);
            if (!ok || (kind != "n" && kind != "f"))
                return fail("unreadable cross-reference entry");
            if (kind == "n") {
                if (offset <= 0 || offset >= xref)
                    return fail("an object outside the file");
                offsets[std::size_t(first + i)] = offset;
                objectAt[offset] = int(first + i);
            }
        }
    }
    if (objectAt.empty())
        return fail("no objects");

    std::vector<qint64> newOffsets(offsets.size(), -1);
    qint64 written_ = 0;
    const auto put = [&](const QByteArray& bytes) {
        if (out.write(bytes) != bytes.size())
            return false;
        written_ += bytes.size();
        return true;
    };
    if (!put(written.left(objectAt.begin()->first)))
        return fail("cannot write");
    int replaced = 0;
    for (auto it = objectAt.begin(); it != objectAt.end(); ++it) {
        const qsizetype begin = it->first;
        const auto next = std::next(it);
        const qsizetype end = next == objectAt.end() ? xref : next->first;
        const QByteArray object = written.mid(begin, end - begin);
        newOffsets[std::size_t(it->second)] = written_;
        int number = -1;
        if (object.size() <= kLongestStandInObject && object.contains("/Subtype /Image"))
            number = standInNumber(decodedStream(object));
        if (number < 0 || number >= m_files.size()) {
            if (!put(object))
                return fail("cannot write");
            continue;
        }
        const File& file = m_files[number];
        QFile source(file.path);
        if (!source.open(QIODevice::ReadOnly))
            return fail("a picture's file is gone");
        const QByteArray bytes = source.readAll();
        if (bytes.size() != file.size)
            return fail("a picture's file changed");
        const QByteArray head = QByteArray::number(it->second) +
                                " 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Width " +
                                QByteArray::number(file.facts.width) + "\n/Height " +
                                QByteArray::number(file.facts.height) + "\n/BitsPerComponent 8\n/ColorSpace " +
                                (file.facts.components == 1 ? QByteArray("/DeviceGray") : QByteArray("/DeviceRGB")) +
                                "\n/Filter /DCTDecode\n/Length " + QByteArray::number(bytes.size()) + "\n>>\nstream\n";
        if (!put(head) || !put(bytes) || !put(QByteArrayLiteral("\nendstream\nendobj\n")))
            return fail("cannot write");
        ++replaced;
    }
    if (replaced == 0)
        return fail("no stand-in found");

    const qint64 newXref = written_;
    QByteArray table = "xref\n0 " + QByteArray::number(qint64(offsets.size())) + "\n";
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        if (newOffsets[i] < 0)
            table += i == 0 ? QByteArrayLiteral("0000000000 65535 f \n") : QByteArrayLiteral("0000000000 00000 f \n");
        else
            table += QByteArray::number(newOffsets[i]).rightJustified(10, '0') + " 00000 n \n";
    }
    if (!put(table) || !put(written.mid(trailer, startxref - trailer)) ||
        !put("startxref\n" + QByteArray::number(newXref) + "\n%%EOF\n"))
        return fail("cannot write");
    return true;
}
