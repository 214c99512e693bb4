// The first steps of picture preparation: decode a JPEG stream line by line into a new pixel
// buffer. The screen saver feeds it a resource stream; prepare-picture and the benchmarks a
// memory stream.
#pragma once

class JpegInputStream;
class PictureWorkspace;
class RasterImage;

struct DecodedPicture {
    // The decoder's error code (0 when every line came through).
    int ErrorCode = 0;
    // Lines the decoder delivered, from the top.
    int Lines = 0;
};

// Decodes the stream into image, which receives the picture's size and pixels, turned upright by
// its EXIF orientation (imaging/Orientation.h; the caller reads it from the file's bytes, 1 when
// it has none). A stream the decoder cannot read at all gives a 0 x 0 image; a picture that
// breaks off keeps its size, and the rows never delivered are black. Grey pictures become grey
// pixels. Returns false, leaving image empty, only when the pixel buffer cannot be allocated: the
// picture is then not shown. With a workspace the buffer and the decoder's large blocks come from
// it (give the buffer back with PictureWorkspace::Keep when the picture is done).
bool DecodePicture(JpegInputStream& stream, bool useSimd, RasterImage& image,
                   DecodedPicture& outcome, int orientation = 1,
                   PictureWorkspace* workspace = nullptr);
