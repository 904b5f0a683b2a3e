#!/bin/sh
# Regenerates the RTF corpus from the sources through the RTF writers that
# Debian packages (libreoffice-writer-nogui, abiword, pandoc, latex2rtf,
# enscript). The corpus is committed: the tests and the checker do not need
# these programs. Run from anywhere; writes tests/rtf/corpus/.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$here/sources
out=$here/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
profile="-env:UserInstallation=file://$work/profile"

lo() {  # lo INPUT OUTPUT [INPUT_FILTER]
  if [ $# -eq 3 ]; then
    soffice "$profile" --headless --infilter="$3" --convert-to rtf --outdir "$work" "$1" >/dev/null 2>&1
  else
    soffice "$profile" --headless --convert-to rtf --outdir "$work" "$1" >/dev/null 2>&1
  fi
  base=$(basename "$1"); mv "$work/${base%.*}.rtf" "$2"
}

lo "$src/features.html" "$out/libreoffice_features.rtf" "HTML (StarWriter)"
lo "$src/scripts.html" "$out/libreoffice_scripts.rtf" "HTML (StarWriter)"
lo "$src/notes.fodt" "$out/libreoffice_notes.rtf"
lo "$src/pictures_shore.fodt" "$out/libreoffice_pictures_shore.rtf"
# The same pictures anchored to their paragraphs: the office suite writes them
# as shapes (\shp) that hold the picture as a property.
sed 's/text:anchor-type="as-char"/text:anchor-type="char"/g' "$src/pictures_shore.fodt" >"$work/pictures_shore.fodt"
lo "$work/pictures_shore.fodt" "$out/libreoffice_pictures_shore_floating.rtf"
pandoc -s "$src/guide.md" -o "$out/pandoc_guide.rtf"
pandoc -s "$src/guide.md" -o "$work/guide.docx"
lo "$work/guide.docx" "$out/libreoffice_guide_docx.rtf"
# The document marks the table's first row as a header row, which the office
# suite does not carry into RTF; word processors that repeat header rows on
# every page write \trhdr in its row definition, as this copy does.
sed '0,/\\trowd/s//\\trowd\\trhdr/' "$out/libreoffice_guide_docx.rtf" >"$out/libreoffice_guide_header.rtf"
# Lists of several levels, a list that starts at 5, links to bookmarks: as
# RTF from pandoc, and through a word-processor document as the office suite
# and AbiWord write it; the office suite's file once more without the items'
# marker text, which leaves their numbers to the list table.
pandoc -s "$src/lists.md" -o "$out/pandoc_lists.rtf"
pandoc -s "$src/lists.md" -o "$work/lists.docx"
lo "$work/lists.docx" "$out/libreoffice_lists_docx.rtf"
abiword --to=rtf -o "$out/abiword_lists_docx.rtf" "$work/lists.docx" >/dev/null 2>&1
python3 "$here/strip_list_text.py" "$out/libreoffice_lists_docx.rtf" "$out/libreoffice_lists_bare.rtf"
abiword --to=rtf -o "$out/abiword_features.rtf" "$src/features.html" >/dev/null 2>&1
abiword --to=rtf -o "$out/abiword_scripts.rtf" "$src/scripts.html" >/dev/null 2>&1
soffice "$profile" --headless --convert-to odt --outdir "$work" "$src/notes.fodt" >/dev/null 2>&1
abiword --to=rtf -o "$out/abiword_notes.rtf" "$work/notes.odt" >/dev/null 2>&1
(cd "$work" && cp "$src/paper.tex" . && latex2rtf paper.tex >/dev/null 2>&1) && mv "$work/paper.rtf" "$out/latex2rtf_paper.rtf"
enscript --quiet --language=rtf --encoding=latin1 -o "$out/enscript_logbook.rtf" "$src/logbook.txt"
