#pragma once

// Slide-deck reader: opens a .pptx deck, copies its pictures into an output folder and hands out
// plain records (slides, the pictures and text shapes on each slide, paragraphs, runs and resolved
// text styles) linked through their `next` fields.
//
// Ownership: the deck owns every record and string reachable from it and releases all of them at
// once in qvd_opc_free; no record is released earlier, so pointers between records stay valid until
// then. Strings are NUL-terminated UTF-8. Lengths are pixels at 96 per inch (EMU / 9525).
//
// Errors: every entry point that can fail reports the error code through its `error` argument (0 on
// success) and writes one line to standard error. After an error the deck has already been released:
// the caller must not use or free it again. The reader never ends the process, never changes the
// working directory and keeps no state between decks. A deck is used by one thread at a time.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    QVD_OPC_OK = 0,
    QVD_OPC_ERR_NOT_PPTX = 2,      /* "%s is not a pptx presentation." */
    QVD_OPC_ERR_PART = 3,          /* "We weren't able to open the %s file." */
    QVD_OPC_ERR_MEMORY = 4,        /* "We weren't able to allocate memory." */
    QVD_OPC_ERR_OUTPUT_FOLDER = 5, /* "`%s' does not exist" */
    QVD_OPC_ERR_INPUT = 6,         /* "`%s' does not exist." */
    QVD_OPC_ERR_IMAGE_NAME = 7,    /* "image `%s' does not look like a file" */
    QVD_OPC_ERR_IMAGE_WRITE = 8,   /* "We weren't able to open `%s' for writing." */
    QVD_OPC_ERR_IMAGE_READ = 9,    /* "We weren't able to open the opcContainerInputStream `%s' for reading." */
    QVD_OPC_ERR_SLIDE_SIZE = 10,   /* "We can't determine the rect for the presentation." */
    QVD_OPC_ERR_PICTURE_FRAME = 13 /* "We coudn't determine a rect for ph_id: %s, ph_type: %s, on slide: %s." */
};

enum { QVD_OPC_OBJECT_PICTURE = 1, QVD_OPC_OBJECT_TEXT = 2 };
enum { QVD_OPC_PH_OTHER = 0, QVD_OPC_PH_BODY = 1, QVD_OPC_PH_TITLE = 2 };
enum {
    QVD_OPC_ALIGN_OTHER = 0,
    QVD_OPC_ALIGN_CENTER = 1,
    QVD_OPC_ALIGN_DISTRIBUTED = 2,
    QVD_OPC_ALIGN_JUSTIFIED = 3,
    QVD_OPC_ALIGN_LEFT = 4,
    QVD_OPC_ALIGN_RIGHT = 5
};
enum {
    QVD_OPC_FONT_ALIGN_UNKNOWN = 0,
    QVD_OPC_FONT_ALIGN_AUTO = 1,
    QVD_OPC_FONT_ALIGN_BOTTOM = 2,
    QVD_OPC_FONT_ALIGN_BASELINE = 3,
    QVD_OPC_FONT_ALIGN_CENTER = 4,
    QVD_OPC_FONT_ALIGN_TOP = 5
};
enum { QVD_OPC_CATEGORY_ANY = 0, QVD_OPC_CATEGORY_BODY = 1, QVD_OPC_CATEGORY_TITLE = 2, QVD_OPC_CATEGORY_OTHER = 3 };
enum {
    QVD_OPC_BULLET_UNSET = 0,
    QVD_OPC_BULLET_NONE = 1,
    QVD_OPC_BULLET_PICTURE = 2,
    QVD_OPC_BULLET_CHARACTER = 3,
    QVD_OPC_BULLET_NUMBERING = 4
};
enum { QVD_OPC_UNIT_PERCENT = 1, QVD_OPC_UNIT_POINTS = 2 };

typedef struct QVD_OPC_PRESENTATION_T QVD_OPC_PRESENTATION_T;
typedef struct QVD_OPC_DECK_STATE_T QVD_OPC_DECK_STATE_T;

typedef struct QVD_OPC_RECT_T {
    int64_t x;
    int64_t y;
    int64_t width;
    int64_t height;
    QVD_OPC_PRESENTATION_T* deck;
} QVD_OPC_RECT_T;

typedef struct QVD_OPC_TEXT_SPACE_SIZE_T {
    int32_t value;
    int32_t unset; /* 1 = unset */
    int32_t unit;  /* QVD_OPC_UNIT_* */
} QVD_OPC_TEXT_SPACE_SIZE_T;

typedef struct QVD_OPC_TEXT_STYLE_T {
    struct QVD_OPC_TEXT_STYLE_T* next;
    char* latin_typeface;
    char* second_typeface; /* from the paragraph's bullet-font element */
    char* color;           /* RRGGBB */
    int32_t alignment;     /* QVD_OPC_ALIGN_*, default left */
    int32_t font_alignment;
    int32_t category;
    uint8_t right_to_left;
    int32_t level; /* 1-based outline level (0 for a list style's default level) */
    int32_t size;  /* whole points, 0 = unset */
    int64_t first_line_indent;
    int64_t left_margin;
    QVD_OPC_TEXT_SPACE_SIZE_T* line_spacing;
    QVD_OPC_TEXT_SPACE_SIZE_T* space_before;
    QVD_OPC_TEXT_SPACE_SIZE_T* space_after;
    int32_t bullet_type;      /* QVD_OPC_BULLET_* */
    int32_t numbering_scheme; /* 1-41, 0 = none */
    char* bullet_character;
    char* bullet_picture; /* file path of the extracted picture */
    int32_t numbering_start;
    uint8_t bullet_color_follows_text;
    char* bullet_color;
    uint8_t bullet_font_follows_text;
    char* bullet_font;
    uint8_t bullet_size_follows_text;
    QVD_OPC_TEXT_SPACE_SIZE_T* bullet_size;
} QVD_OPC_TEXT_STYLE_T;

typedef struct QVD_OPC_TEXT_RUN_T {
    struct QVD_OPC_TEXT_RUN_T* next;
    char* text;                  /* NULL for a line break */
    QVD_OPC_TEXT_STYLE_T* style; /* the run's own or the paragraph's; NULL for a line break */
    uint8_t line_break;
} QVD_OPC_TEXT_RUN_T;

typedef struct QVD_OPC_PARAGRAPH_T {
    struct QVD_OPC_PARAGRAPH_T* next;
    QVD_OPC_TEXT_RUN_T* runs;
    QVD_OPC_TEXT_STYLE_T* style; /* may be NULL: unstyled */
} QVD_OPC_PARAGRAPH_T;

typedef struct QVD_OPC_SHAPE_T {
    struct QVD_OPC_SHAPE_T* next;
    QVD_OPC_RECT_T* frame; /* may be NULL */
    QVD_OPC_PARAGRAPH_T* paragraphs;
    QVD_OPC_TEXT_STYLE_T* list_style; /* own levels followed by the inherited ones */
    int32_t placeholder_kind;         /* QVD_OPC_PH_* */
    char* placeholder_index;
    char* placeholder_type;
    int32_t font_scale; /* thousandths of a percent the program shrank its text by to fit (100000: as set) */
} QVD_OPC_SHAPE_T;

typedef struct QVD_OPC_IMAGE_OBJECT_T {
    char* placeholder_index;
    char* placeholder_type;
    int32_t placeholder_kind; /* always 0 */
    char* file_path;          /* may be NULL when the picture's relationship is unknown */
    QVD_OPC_RECT_T* frame;
} QVD_OPC_IMAGE_OBJECT_T;

typedef struct QVD_OPC_SLIDE_OBJECT_T {
    struct QVD_OPC_SLIDE_OBJECT_T* next;
    int32_t kind; /* QVD_OPC_OBJECT_PICTURE or QVD_OPC_OBJECT_TEXT */
    QVD_OPC_PRESENTATION_T* deck;
    void* object; /* QVD_OPC_IMAGE_OBJECT_T* or QVD_OPC_SHAPE_T* */
} QVD_OPC_SLIDE_OBJECT_T;

typedef struct QVD_OPC_IMAGE_REL_T {
    struct QVD_OPC_IMAGE_REL_T* next;
    char* rel_id; /* the relationship id as written */
    char* file_path;
} QVD_OPC_IMAGE_REL_T;

typedef struct QVD_OPC_COLOR_T {
    struct QVD_OPC_COLOR_T* next;
    char* name;
    char* value;
} QVD_OPC_COLOR_T;

typedef struct QVD_OPC_BACKGROUND_T {
    char* color;   /* RRGGBB */
    char* picture; /* file path */
} QVD_OPC_BACKGROUND_T;

typedef struct QVD_OPC_THEME_T {
    struct QVD_OPC_THEME_T* next;
    char* part_name;
    QVD_OPC_PRESENTATION_T* deck;
    QVD_OPC_COLOR_T* color_scheme;
    char* major_latin_typeface;
    char* minor_latin_typeface;
} QVD_OPC_THEME_T;

typedef struct QVD_OPC_SLIDE_MASTER_T {
    struct QVD_OPC_SLIDE_MASTER_T* next;
    char* part_name;
    QVD_OPC_PRESENTATION_T* deck;
    QVD_OPC_THEME_T* theme;
    QVD_OPC_COLOR_T* color_map;
    QVD_OPC_IMAGE_REL_T* image_rels;
    QVD_OPC_BACKGROUND_T* background;
    QVD_OPC_SHAPE_T* shapes;
    QVD_OPC_TEXT_STYLE_T* text_styles;
} QVD_OPC_SLIDE_MASTER_T;

typedef struct QVD_OPC_SLIDE_LAYOUT_T {
    struct QVD_OPC_SLIDE_LAYOUT_T* next;
    QVD_OPC_PRESENTATION_T* deck;
    char* part_name;
    QVD_OPC_IMAGE_REL_T* image_rels;
    QVD_OPC_BACKGROUND_T* background;
    QVD_OPC_SHAPE_T* shapes; /* own shapes followed by the master's */
    QVD_OPC_SLIDE_MASTER_T* master;
} QVD_OPC_SLIDE_LAYOUT_T;

typedef struct QVD_OPC_SLIDE_T {
    struct QVD_OPC_SLIDE_T* next;
    char* part_name;
    char* background_color;                     /* RRGGBB or NULL */
    QVD_OPC_IMAGE_OBJECT_T* background_picture; /* or NULL */
    QVD_OPC_PRESENTATION_T* deck;
    QVD_OPC_SLIDE_LAYOUT_T* layout;
    QVD_OPC_SLIDE_OBJECT_T* objects; /* read by qvd_opc_slide_objects */
    QVD_OPC_IMAGE_REL_T* image_rels;
    uint8_t objects_read;
} QVD_OPC_SLIDE_T;

struct QVD_OPC_PRESENTATION_T {
    char* main_part_name; /* "ppt/presentation.xml" */
    char* xml_encoding;   /* as declared by the main part, or NULL */
    char* output_folder;  /* absolute; NULL when pictures are not written */
    QVD_OPC_IMAGE_REL_T* extracted_images;
    QVD_OPC_SLIDE_T* slides;
    QVD_OPC_THEME_T* themes;
    QVD_OPC_SLIDE_MASTER_T* slide_masters;
    QVD_OPC_SLIDE_LAYOUT_T* slide_layouts;
    QVD_OPC_RECT_T slide_size;
    QVD_OPC_DECK_STATE_T* state; /* private */
};

/* Prepares the XML parser; call once before the first deck (calling it again is harmless). */
void qvd_opc_init(void);

/* Opens the deck at `input_path` (relative paths are taken against the working directory) and copies
   its pictures into the existing folder `output_folder`. Returns the deck, or NULL with *error set. */
QVD_OPC_PRESENTATION_T* qvd_opc_open(const char* input_path, const char* output_folder, int* error);

/* Same from a deck held in memory (the bytes are copied). `output_folder` may be NULL: picture paths
   are then bare file names and nothing is written. */
QVD_OPC_PRESENTATION_T* qvd_opc_open_bytes(const void* data, size_t size, const char* output_folder, int* error);

/* The slides in the order of the presentation's slide list; built on the first call, the same list
   afterwards. On error returns NULL with *error set, and the deck has been released. */
QVD_OPC_SLIDE_T* qvd_opc_slides(QVD_OPC_PRESENTATION_T* deck, int* error);

/* The objects of one slide in document order; built on the first call, then cached in the slide.
   On error returns NULL with *error set, and the slide's deck has been released. */
QVD_OPC_SLIDE_OBJECT_T* qvd_opc_slide_objects(QVD_OPC_SLIDE_T* slide, int* error);

/* Releases the deck with everything it owns. NULL is ignored. */
void qvd_opc_free(QVD_OPC_PRESENTATION_T* deck);

#ifdef __cplusplus
}
#endif
