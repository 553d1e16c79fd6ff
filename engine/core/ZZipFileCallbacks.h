#pragma once

#include <minizip/unzip.h>

class ZResource;

// The zip library's file callbacks over the virtual file system: the archive file is read
// through a ZResource handle, so it may lie on disk or inside an archive mounted earlier.
// Writing is refused, and archives split over several files cannot be read.
class ZZipFileCallbacks {
public:
    // The table for unzOpen2. When opened is not null it receives the handle that the open
    // callback makes, and is cleared when that handle is closed.
    static zlib_filefunc_def table(ZResource** opened);

    // The callbacks themselves; opaque is the table's opened pointer, stream a ZResource.
    static voidpf ZCALLBACK openFile(voidpf opaque, const char* filename, int mode);
    // All or nothing: size, or 0 when the handle could not read all of it.
    static uLong ZCALLBACK readFile(voidpf opaque, voidpf stream, void* buffer, uLong size);
    static uLong ZCALLBACK writeFile(voidpf opaque, voidpf stream, const void* buffer, uLong size);
    static long ZCALLBACK tellFile(voidpf opaque, voidpf stream);
    // 0, or -1 for an unknown origin or when the handle's seek fails.
    static long ZCALLBACK seekFile(voidpf opaque, voidpf stream, uLong offset, int origin);
    static int ZCALLBACK closeFile(voidpf opaque, voidpf stream);
    static int ZCALLBACK testError(voidpf opaque, voidpf stream);
};
