# Shell functions that read and compare pictures with ImageMagick, for the tests that check
# image files from outside the programs. Sourced; fails early naming what is missing.

# Exits when one of ImageMagick's programs that the tests call is missing.
require_imagemagick() {
    local tool
    for tool in import identify compare convert; do
        command -v "$tool" >/dev/null || {
            echo "ImageMagick's $tool is missing (Debian package imagemagick)" >&2
            exit 1
        }
    done
}

# "WIDTH HEIGHT" of a picture; "none" when it cannot be read.
picture_size() {
    identify -format '%w %h' "$1" 2>/dev/null || echo none
}

# Pixels that differ between two pictures of the same size; "size" when the sizes differ.
differing_pixels() {
    [ "$(picture_size "$1")" = "$(picture_size "$2")" ] || {
        echo size
        return
    }
    compare -metric AE "$1" "$2" null: 2>&1 || true
}

# The normalised error of a metric (MAE mean, PAE largest) between two pictures, 0 to 1.
picture_error() {
    local said
    said=$(compare -metric "$1" "$2" "$3" null: 2>&1) || true
    sed -n 's/.*(\(.*\)).*/\1/p' <<<"$said"
}

# Whether a JPEG is as near its picture as JPEG allows: its mean error (first) at most half as
# large again as another encoder's JPEG's of the same picture (second), and its largest channel
# error against that JPEG (third) under 0.4. At thin lines every JPEG strays; a moved or
# recoloured picture strays much further.
jpeg_close() {
    awk -v m="$1" -v u="$2" -v p="$3" \
        'BEGIN { exit !(m != "" && u != "" && p != "" && m <= 1.5 * u + 0.002 && p <= 0.4) }'
}
