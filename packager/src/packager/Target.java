package packager;

import java.util.Locale;
import java.util.Optional;

/** The platforms the launcher runs on, with what differs between them in an application folder. */
enum Target {
    LINUX("linux", "", "lib/server/libjvm.so"),
    WINDOWS("windows", ".exe", "bin/server/jvm.dll");

    final String name;
    final String executableSuffix;
    final String jvmLibrary;

    Target(String name, String executableSuffix, String jvmLibrary) {
        this.name = name;
        this.executableSuffix = executableSuffix;
        this.jvmLibrary = jvmLibrary;
    }

    static Optional<Target> named(String name) {
        for (final Target target : values()) {
            if (target.name.equals(name)) {
                return Optional.of(target);
            }
        }
        return Optional.empty();
    }

    /** This machine's platform, if the launcher runs on it. */
    static Optional<Target> own() {
        final String os = System.getProperty("os.name").toLowerCase(Locale.ROOT);
        return os.startsWith("linux") ? Optional.of(LINUX)
                : os.startsWith("windows") ? Optional.of(WINDOWS) : Optional.empty();
    }

    /** The first bytes of the platform's executables: a PE file's MZ, or an ELF file's magic. */
    byte[] executableSignature() {
        return this == WINDOWS ? new byte[] {'M', 'Z'} : new byte[] {0x7f, 'E', 'L', 'F'};
    }

    boolean isOwn() {
        return own().orElse(null) == this;
    }
}
