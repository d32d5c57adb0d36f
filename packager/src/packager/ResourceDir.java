package packager;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.stream.Stream;

/**
 * --resource-dir: the user's own versions of files the packager writes, each used byte for byte in place of the
 * packager's, under the name jpackage reads from its resource folder where jpackage has such a file. Nothing in
 * them is replaced: a file of the user's is what the folder or package holds.
 */
final class ResourceDir {
    static final ResourceDir NONE = new ResourceDir(Map.of());

    /** The Debian package's control file and maintainer scripts, and its copyright file. */
    static final List<String> DEBIAN_FILES = List.of("control", "preinst", "postinst", "prerm", "postrm", "copyright");
    static final String WIX_SOURCE = "main.wxs";

    private final Map<String, byte[]> files;

    private ResourceDir(Map<String, byte[]> files) {
        this.files = files;
    }

    /** The names this run reads from the folder, for its target and type, its launchers and services. */
    static List<String> names(Plan plan) {
        final List<String> names = new ArrayList<>();
        if (plan.target == Target.LINUX) {
            names.add(desktopEntry(plan.name));
            for (final ExtraLauncher launcher : plan.extraLaunchers) {
                names.add(desktopEntry(launcher.name));
            }
        }
        if (plan.isDeb()) {
            names.addAll(DEBIAN_FILES);
        }
        if (plan.isRpm()) {
            names.add(rpmSpec(plan));
        }
        if (plan.isLinuxPackage()) {
            for (final ServiceUnit.Service service : ServiceUnit.services(plan)) {
                names.add(service.fileName());
            }
        }
        if (plan.isMsi()) {
            names.add(WIX_SOURCE);
        }
        return names;
    }

    /** A launcher's menu entry, as jpackage names it in its resource folder: the launcher's name. */
    static String desktopEntry(String launcherName) {
        return launcherName + ".desktop";
    }

    /** The RPM's spec file, named after the package as jpackage names it. */
    static String rpmSpec(Plan plan) {
        return plan.linuxPackageName + ".spec";
    }

    /**
     * The files of --resource-dir that this run uses; every other entry is named in a warning and ignored. A
     * missing folder, or a file that cannot be read, is refused.
     */
    static ResourceDir read(Plan plan) throws Stop {
        final Path folder = plan.options.resourceDir;
        if (folder == null) {
            return NONE;
        }
        final String option = "--resource-dir " + Text.quote(folder);
        if (!Files.isDirectory(folder)) {
            throw Stop.refused(option + (Files.exists(folder) ? " is not a folder" : " does not exist")
                    + "; give the folder that holds your own versions of the packager's files");
        }
        final List<String> names = names(plan);
        final Map<String, byte[]> files = new TreeMap<>();
        final List<Path> entries;
        try (Stream<Path> list = Files.list(folder)) {
            entries = list.sorted().toList();
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(option + " cannot be read: " + Text.describe(unreadable));
        }
        for (final Path entry : entries) {
            final String name = entry.getFileName().toString();
            if (!names.contains(name) || !Files.isRegularFile(entry)) {
                System.err.println("warning: " + option + " holds " + Text.quote(name) + ", which is none of the "
                        + "files the packager reads from it for " + (plan.isInstaller() ? "--type " + plan.options.type
                                : "a " + plan.target.name + " folder") + " ("
                        + (names.isEmpty() ? "it reads none" : String.join(", ", names)) + "); it is ignored");
                continue;
            }
            try {
                files.put(name, Files.readAllBytes(entry));
            } catch (IOException unreadable) {
                throw Stop.refused(option + ": " + Text.quote(entry) + " cannot be read: " + Text.describe(unreadable));
            }
        }
        return new ResourceDir(files);
    }

    boolean has(String name) {
        return files.containsKey(name);
    }

    /** The user's file `name`, or else `ours` in UTF-8. */
    byte[] bytes(String name, String ours) {
        final byte[] own = files.get(name);
        return own != null ? own.clone() : ours.getBytes(StandardCharsets.UTF_8);
    }

    /** Writes `file`: the user's file `name`, or else `ours`. */
    void write(Path file, String name, String ours) throws IOException {
        Files.write(file, bytes(name, ours));
    }
}
