/* stb_image's decoder, compiled for the benchmark by the same compiler with the same flags as the
   screen saver. JPEG only: the other formats are left out. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb_image.h>
