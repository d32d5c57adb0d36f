package packager;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.zip.GZIPInputStream;
import java.util.zip.GZIPOutputStream;
import org.tukaani.xz.LZMA2Options;
import org.tukaani.xz.XZInputStream;
import org.tukaani.xz.XZOutputStream;

/**
 * How a tar stream is compressed: gzip, which every tool reads, or xz, about a quarter smaller for a Java
 * runtime. The xz encoder is XZ for Java, built into packager.jar, so that the packager needs nothing but a JDK.
 */
enum Compression {
    GZIP("gzip", ".gz"),
    XZ("xz", ".xz");

    /**
     * xz's own default level, which dpkg-deb uses too: an 8 MiB dictionary, about 100 MB of memory to compress
     * and 9 MB to decompress (level 9 would need 700 MB to compress).
     */
    private static final int XZ_LEVEL = 6;
    private static final int XZ_DECOMPRESSION_LIMIT_KIB = 64 * 1024;

    final String name;
    /** What the file name of a tar stream so compressed ends in after ".tar". */
    final String suffix;

    Compression(String name, String suffix) {
        this.name = name;
        this.suffix = suffix;
    }

    /** The compression `value` names, as the option `option` gives it. */
    static Compression named(String option, String value) throws Stop {
        for (final Compression compression : values()) {
            if (compression.name.equals(value)) {
                return compression;
            }
        }
        throw Stop.refused(option + " " + value + " is not a compression the packager writes: give xz or gzip");
    }

    /** A stream that compresses into `out`; closing it finishes the compressed data and closes `out`. */
    OutputStream compressing(OutputStream out) throws IOException {
        return this == XZ ? new XZOutputStream(out, new LZMA2Options(XZ_LEVEL)) : new GZIPOutputStream(out, 1 << 16);
    }

    /**
     * A stream that reads what `in` holds, compressed this way. A file whose xz header asks for more memory than
     * this packager's own files need fails to read, rather than exhausting the JVM's.
     */
    InputStream decompressing(InputStream in) throws IOException {
        return this == XZ ? new XZInputStream(in, XZ_DECOMPRESSION_LIMIT_KIB) : new GZIPInputStream(in, 1 << 16);
    }
}
