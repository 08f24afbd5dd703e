#!/usr/bin/env python3
"""Writes the regression corpus of malformed decks that FuzzCorpusTest replays through every
fuzzing harness. Run from this folder: python3 make_corpus.py. Each file is described below."""
import struct
import warnings
import zipfile
import zlib

NS = ('xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"')
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
MAIN = 'application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml'


def rels(*items):
    body = ''.join(f'<Relationship Id="{i}" Type="{REL}{t}" Target="{target}"/>' for i, t, target in items)
    return f'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">{body}</Relationships>'


def tree(root, children, tail=''):
    return f'<p:{root} {NS}><p:cSld><p:spTree>{children}</p:spTree></p:cSld>{tail}</p:{root}>'


def shape(text, xfrm='<a:xfrm><a:off x="0" y="0"/><a:ext cx="9525" cy="9525"/></a:xfrm>', ph=''):
    return (f'<p:sp><p:nvSpPr><p:nvPr>{ph}</p:nvPr></p:nvSpPr><p:spPr>{xfrm}</p:spPr>'
            f'<p:txBody><a:p><a:r><a:t>{text}</a:t></a:r></a:p></p:txBody></p:sp>')


def deck(slide=None, main_type=MAIN, extra=None):
    parts = {
        '[Content_Types].xml': '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                               '<Default Extension="png" ContentType="image/png"/>'
                               f'<Override PartName="/ppt/presentation.xml" ContentType="{main_type}"/></Types>',
        '_rels/.rels': rels(('rId1', 'officeDocument', 'ppt/presentation.xml')),
        'ppt/presentation.xml': f'<p:presentation {NS}><p:sldIdLst><p:sldId id="256" r:id="rId2"/></p:sldIdLst>'
                                '<p:sldSz cx="9144000" cy="6858000"/></p:presentation>',
        'ppt/_rels/presentation.xml.rels': rels(('rId2', 'slide', 'slides/slide1.xml')),
        'ppt/slides/slide1.xml': slide if slide is not None else tree('sld', shape('hello')),
        'ppt/slides/_rels/slide1.xml.rels': rels(('rId1', 'slideLayout', '../slideLayouts/slideLayout1.xml'),
                                                 ('rId2', 'image', '../media/image1.png')),
        'ppt/slideLayouts/slideLayout1.xml': tree('sldLayout', shape('layout', ph='<p:ph idx="1"/>')),
        'ppt/slideLayouts/_rels/slideLayout1.xml.rels': rels(('rId1', 'slideMaster', '../slideMasters/slideMaster1.xml')),
        'ppt/slideMasters/slideMaster1.xml': tree('sldMaster', '', '<p:clrMap tx1="dk1"/><p:txStyles><p:bodyStyle>'
                                                  '<a:lvl1pPr><a:buChar char="-"/></a:lvl1pPr></p:bodyStyle></p:txStyles>'),
        'ppt/slideMasters/_rels/slideMaster1.xml.rels': rels(('rId1', 'theme', '../theme/theme1.xml')),
        'ppt/theme/theme1.xml': '<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">'
                                '<a:themeElements><a:clrScheme><a:dk1><a:srgbClr val="000000"/></a:dk1></a:clrScheme>'
                                '</a:themeElements></a:theme>',
        'ppt/media/image1.png': '\x89PNG picture',
    }
    parts.update(extra or {})
    return parts


def write(name, parts, compression=zipfile.ZIP_DEFLATED):
    with warnings.catch_warnings():
        warnings.simplefilter('ignore')  # duplicate names are the point of one case
        with zipfile.ZipFile(name, 'w', compression) as z:
            for part, content in (parts.items() if isinstance(parts, dict) else parts):
                z.writestr(part, content.encode('utf-8') if isinstance(content, str) else content)


def read(name):
    with open(name, 'rb') as f:
        return f.read()


# A valid deck: the seed the fuzzers start from.
write('valid.pptx', deck())
# Not a ZIP at all, and an empty file.
open('not_zip.pptx', 'wb').write(b'this is not a zip file\n' * 10)
open('empty.pptx', 'wb').write(b'')
# The valid deck cut in half (no central directory).
open('truncated.pptx', 'wb').write(read('valid.pptx')[: len(read('valid.pptx')) // 2])
# A word-processing package: officeDocument points at a part of another content type.
write('docx_like.pptx', deck(main_type='application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml'))
# Entity expansion ("billion laughs") in a slide.
laughs = ('<?xml version="1.0"?><!DOCTYPE p:sld [<!ENTITY a "aaaaaaaaaa">'
          + ''.join(f'<!ENTITY {c} "{("&" + p + ";") * 10}">' for p, c in zip('abcdefgh', 'bcdefghi'))
          + ']>' + tree('sld', shape('&i;')))
write('doctype_entities.pptx', deck(slide=laughs))
# 300 nested groups, deeper than the XML parser's limit, and 200 that stay within it.
write('nested_groups_300.pptx', deck(slide=tree('sld', '<p:grpSp>' * 300 + shape('deep') + '</p:grpSp>' * 300)))
write('nested_groups_200.pptx', deck(slide=tree('sld', '<p:grpSp>' * 200 + shape('deep') + '</p:grpSp>' * 200)))
# Numbers far beyond 64 bits, negative sizes, levels and font sizes out of range.
huge = ('<a:xfrm><a:off x="-99999999999999999999999999999" y="99999999999999999999"/>'
        '<a:ext cx="-1" cy="18446744073709551617"/></a:xfrm>')
write('huge_numbers.pptx', deck(slide=tree('sld', shape('n', xfrm=huge).replace(
    '<a:p>', '<a:p><a:pPr lvl="99999999999999999999" marL="-9223372036854775809" indent="9223372036854775808">'
             '<a:lnSpc><a:spcPct val="-99999999999999999999%"/></a:lnSpc><a:buSzPts val="999999999999"/>'
             '<a:defRPr sz="99999999999999999"/></a:pPr>'))))
# A real zip bomb: a slide of 70 MiB of blanks (larger than the per-part XML cap) in about 70 KiB.
bomb = deck()
bomb['ppt/slides/slide1.xml'] = b'<p:sld ' + NS.encode() + b'>' + b' ' * (70 << 20) + b'</p:sld>'
write('zip_bomb_real.pptx', bomb)
# A declared bomb: the central directory claims 4 GiB for the slide.
data = bytearray(read('valid.pptx'))
name = b'ppt/slides/slide1.xml'
central = data.find(b'PK\x01\x02' + b'\x00' * 0)  # first central header
while central != -1:
    if data[central + 46: central + 46 + len(name)] == name:
        data[central + 24: central + 28] = struct.pack('<I', 0xFFFFFFF0)
        break
    central = data.find(b'PK\x01\x02', central + 4)
open('zip_bomb_declared.pptx', 'wb').write(bytes(data))
# Two entries with the same name (different content).
dup = list(deck().items()) + [('ppt/slides/slide1.xml', tree('sld', shape('second copy')))]
write('duplicate_entries.pptx', dup)
# Very long relationship ids and picture names (no fixed buffers anywhere).
long_id = 'rId' + '7' * 5000
longname = 'ppt/media/' + 'x' * 400 + '.png'
write('long_names.pptx', deck(
    slide=tree('sld', f'<p:pic><p:nvPicPr/><p:blipFill><a:blip r:embed="{long_id}"/></p:blipFill><p:spPr>'
                      '<a:xfrm><a:off x="0" y="0"/><a:ext cx="1" cy="1"/></a:xfrm></p:spPr></p:pic>'),
    extra={'ppt/slides/_rels/slide1.xml.rels': rels(('rId1', 'slideLayout', '../slideLayouts/slideLayout1.xml'),
                                                    (long_id, 'image', '/' + longname)),
           longname: 'picture'}))
# A picture without a frame and without a matching placeholder (code 13 while reading objects).
write('picture_without_frame.pptx', deck(slide=tree('sld', '<p:pic><p:nvPicPr><p:nvPr><p:ph idx="42"/></p:nvPr>'
                                                           '</p:nvPicPr><p:blipFill><a:blip r:embed="rId2"/>'
                                                           '</p:blipFill><p:spPr/></p:pic>')))
# A slide whose layout relationship points back at the slide itself, and a master missing.
write('self_layout.pptx', deck(extra={
    'ppt/slides/_rels/slide1.xml.rels': rels(('rId1', 'slideLayout', 'slide1.xml')),
    'ppt/slideLayouts/_rels/slideLayout1.xml.rels': rels(('rId1', 'slideMaster', '../nowhere.xml'))}))
# A damaged deflate stream in the picture entry.
write('corrupt_entry.pptx', deck(extra={'ppt/media/image1.png': b'\x89PNG' + b'y' * 5000}))
data = bytearray(read('corrupt_entry.pptx'))
at = data.find(b'ppt/media/image1.png') + len('ppt/media/image1.png')
for i in range(at + 2, at + 30):
    data[i] ^= 0x5A
open('corrupt_entry.pptx', 'wb').write(bytes(data))
