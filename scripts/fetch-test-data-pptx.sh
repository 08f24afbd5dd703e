# Sourced by scripts/test.sh: fetches the slide decks the pptx reader tests read and exports their
# folder as TESS_PPTX_DECKS_DIR. The decks come from Debian packages (none is committed):
#   r-cran-officer: example.pptx, template.pptx, the gzipped test decks (no_master, table-complex,
#                   test_empty), and example.docx / template.xlsx as packages that are not decks;
#   pandoc-data:    pandoc's unpacked reference deck, zipped here as reference.pptx.
# Idempotent: does nothing once the folder is complete. When the download fails the variable stays
# unset and the tests that need the decks skip with a message.

tess_fetch_pptx_decks() {
    local dest="$1" work deb pptx
    work="$(mktemp -d)" || return 1
    (
        cd "$work" || exit 1
        if ! apt-get download r-cran-officer pandoc-data >/dev/null 2>&1; then
            if [ "$(id -u)" -eq 0 ]; then apt-get update -qq >/dev/null 2>&1 || exit 1; fi
            apt-get download r-cran-officer pandoc-data >/dev/null 2>&1 || exit 1
        fi
        for deb in ./*.deb; do dpkg-deb -x "$deb" unpacked || exit 1; done
        mkdir -p decks || exit 1
        cp unpacked/usr/lib/R/site-library/officer/doc_examples/example.pptx \
            unpacked/usr/lib/R/site-library/officer/doc_examples/example.docx \
            unpacked/usr/lib/R/site-library/officer/template/template.pptx \
            unpacked/usr/lib/R/site-library/officer/template/template.xlsx decks/ || exit 1
        for deck in no_master table-complex test_empty; do
            gzip -dc "unpacked/usr/share/doc/r-cran-officer/tests/testthat/docs_dir/$deck.pptx.gz" \
                >"decks/$deck.pptx" || exit 1
        done
        pptx="$PWD/decks/reference.pptx"
        (cd unpacked/usr/share/pandoc/data/pptx && zip -q -X -r "$pptx" '[Content_Types].xml' _rels docProps ppt) \
            || exit 1
        mkdir -p "$dest" && cp decks/* "$dest/" && touch "$dest/.complete"
    )
    local status=$?
    rm -rf "$work"
    return $status
}

TESS_PPTX_DECKS_CANDIDATE="${TESS_BUILD_DIR:-${TESS_ROOT:-.}/build}/test-data/pptx"
if [ -f "$TESS_PPTX_DECKS_CANDIDATE/.complete" ] || tess_fetch_pptx_decks "$TESS_PPTX_DECKS_CANDIDATE"; then
    export TESS_PPTX_DECKS_DIR="$TESS_PPTX_DECKS_CANDIDATE"
else
    echo "warning: could not fetch the pptx test decks (apt-get download r-cran-officer pandoc-data);" \
        "the tests that need them will skip" >&2
fi
unset TESS_PPTX_DECKS_CANDIDATE
