package packager;

import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Optional;

/**
 * The options as given. One table names each option, its value and its help, so that --help, parsing and
 * every message about an option come from the same place.
 */
final class Options {
    /** The system property a training run can read to know it is one. */
    static final String TRAINING_PROPERTY = "launcher.aot.training";

    Path input;
    /** --app-content: files and folders copied into the folder beside the launcher, in the order given. */
    final List<Path> appContent = new ArrayList<>();
    /** --resource-dir: the user's own versions of files the packager writes; null: none. */
    Path resourceDir;
    String mainJar;
    String mainClass;
    final List<String> javaOptions = new ArrayList<>();
    final List<String> arguments = new ArrayList<>();
    String module;
    String name;
    Path dest = Path.of("");
    Target target;
    Path launcher;
    boolean winConsole;
    Path runtimeImage;
    final List<Path> modulePath = new ArrayList<>();
    final List<String> addModules = new ArrayList<>();
    List<String> jlinkOptions;
    boolean aotCache;
    long aotTrainingTimeoutSeconds = 120;
    boolean archive;
    /** How a Linux target's archive and a Debian package's data are compressed; null: the default of each. */
    Compression archiveCompression;
    Compression linuxDebCompression;
    Path icon;
    String appVersion;
    String vendor;
    String description;
    String copyright;
    boolean replace;
    String type = "app-image";
    String installDir;
    String linuxPackageName;
    String linuxDebMaintainer;
    String linuxAppCategory;
    boolean linuxShortcut;
    /** Every installer's licence and home page; the Linux packages' other fields: what else they need, and so on. */
    Path licenseFile;
    String aboutUrl;
    final List<String> linuxPackageDeps = new ArrayList<>();
    String linuxMenuGroup;
    String linuxAppRelease;
    String linuxRpmLicenseType;
    final List<Path> fileAssociations = new ArrayList<>();
    boolean winPerMachineInstall;
    boolean winPerUserInstall;
    String winUpgradeUuid;
    boolean winMenu;
    String winMenuGroup;
    boolean winShortcut;
    /** The MSI's support and update links in Add/Remove Programs. */
    String winHelpUrl;
    String winUpdateUrl;
    /** jpackage's dialogs, which are refused: wixl makes none. */
    boolean winDirChooser;
    boolean winShortcutPrompt;
    String singleInstance;
    /** --app-image: a folder this packager made before, which the installer is made from as it is. */
    Path appImage;
    boolean launcherAsService;
    /** --verbose: each tool the packager runs is shown with its arguments and what it printed. */
    boolean verbose;
    /** --temp: where the work is done and left; null: hidden folders beside the result, removed at the end. */
    Path temp;
    /** --version: print the packager's version and nothing else. */
    boolean versionAsked;
    final List<ExtraLauncher> extraLaunchers = new ArrayList<>();

    private interface Setter {
        void set(Options options, String value) throws Stop;
    }

    /** One option: its name, the name of its value (null for a flag), its help lines, what it sets. */
    private record OptionSpec(String name, String valueName, String help, Setter setter) {
        boolean takesValue() {
            return valueName != null;
        }
    }

    private static final List<OptionSpec> TABLE = List.of(
            new OptionSpec("--input", "DIR", "the folder holding the program's jars; all of it is copied",
                    (o, v) -> o.input = path("--input", v)),
            new OptionSpec("--app-content", "PATH[,PATH...]", "files and folders copied into the folder beside the launcher,\n"
                    + "each under its own name; repeatable",
                    (o, v) -> {
                        for (final String content : v.split(",", -1)) {
                            if (content.isEmpty()) {
                                throw Stop.refused("--app-content " + v + " has an empty entry: give paths separated "
                                        + "by single commas, such as docs,LICENSE");
                            }
                            o.appContent.add(path("--app-content", content));
                        }
                    }),
            new OptionSpec("--main-jar", "NAME", "the jar in --input that holds the main class",
                    (o, v) -> o.mainJar = v),
            new OptionSpec("--main-class", "NAME", "the class whose main runs (a.b.C or a/b/C);\n"
                    + "default: Main-Class of the main jar's manifest",
                    (o, v) -> o.mainClass = v),
            new OptionSpec("--java-options", "TEXT", "JVM options, in order, split at whitespace as jpackage splits\n"
                    + "them (quotes keep a space inside one, a backslash stays but\n"
                    + "before a quote); $APPDIR stands for the folder",
                    (o, v) -> o.javaOptions.addAll(splitOptions("--java-options", v))),
            new OptionSpec("--arguments", "TEXT", "arguments main receives when the launcher is given none, split\n"
                    + "as --java-options is",
                    (o, v) -> o.arguments.addAll(splitOptions("--arguments", v))),
            new OptionSpec("--module", "NAME[/CLASS]", "run the main module NAME instead of a main jar, linked into the\n"
                    + "runtime from --module-path (default CLASS: the module's main\n"
                    + "class)",
                    (o, v) -> o.module = v),
            new OptionSpec("--name", "NAME", "the product's name (default: the main jar's name)",
                    (o, v) -> o.name = v),
            new OptionSpec("--dest", "DIR", "where the folder NAME is made (default: the current directory)",
                    (o, v) -> o.dest = path("--dest", v)),
            new OptionSpec("--target", "linux|windows", "the platform it is for (default: this machine's)",
                    (o, v) -> o.target = Target.named(v).orElseThrow(() -> Stop.refused("--target " + v
                            + " is not a platform the launcher runs on; give linux or windows"))),
            new OptionSpec("--launcher", "FILE", "the launcher executable to copy (default: the one beside\n"
                    + "packager.jar: launchers/TARGET-x64/ in a release, the build's own\n"
                    + "in a checkout)",
                    (o, v) -> o.launcher = path("--launcher", v)),
            new OptionSpec("--win-console", null, "Windows: the console variant of the launcher, for a command-line\n"
                    + "program (as java.exe is to javaw.exe)",
                    (o, v) -> o.winConsole = true),
            new OptionSpec("--runtime-image", "DIR", "an existing Java runtime to copy as jre, as it is",
                    (o, v) -> o.runtimeImage = path("--runtime-image", v)),
            new OptionSpec("--module-path", "PATH", "folders of modules to link into the runtime, separated by\n"
                    + "\"" + java.io.File.pathSeparator + "\": the program's and its libraries' modular jars, and the\n"
                    + "jmods folder of a JDK for the target of this JDK's feature\n"
                    + "version (needed for another platform; default: this JDK's)",
                    (o, v) -> o.modulePath.addAll(pathList("--module-path", v))),
            new OptionSpec("--add-modules", "LIST", "modules to add to those jdeps finds, comma-separated;\n"
                    + "ALL-DEFAULT: those jpackage links by default; ALL-SYSTEM: all",
                    (o, v) -> Arrays.stream(v.split(",")).map(String::trim).filter(m -> !m.isEmpty())
                            .forEach(o.addModules::add)),
            new OptionSpec("--jlink-options", "TEXT", "options for jlink, split as --java-options is, instead of\n"
                    + "\"" + String.join(" ", JavaRuntime.DEFAULT_JLINK_OPTIONS) + "\"",
                    (o, v) -> {
                        o.jlinkOptions = o.jlinkOptions == null ? new ArrayList<>() : o.jlinkOptions;
                        o.jlinkOptions.addAll(splitOptions("--jlink-options", v));
                    }),
            new OptionSpec("--aot-cache", null, "train the program once and ship its classes loaded and linked\n"
                    + "ahead of time (a Java 25 or later runtime, this platform only);\n"
                    + "the training run sees the property " + TRAINING_PROPERTY + "=true\n"
                    + "and must end by itself",
                    (o, v) -> o.aotCache = true),
            new OptionSpec("--aot-training-timeout", "SEC", "how long the training run may take (default 120)",
                    (o, v) -> o.aotTrainingTimeoutSeconds = seconds("--aot-training-timeout", v)),
            new OptionSpec("--archive", null, "also make NAME.zip (Windows) or NAME.tar.gz (Linux) beside it",
                    (o, v) -> o.archive = true),
            new OptionSpec("--archive-compression", "gzip|xz", "Linux: the archive NAME.tar.gz (the default, read by every\n"
                    + "tar) or NAME.tar.xz (about a quarter smaller); implies --archive",
                    (o, v) -> {
                        o.archiveCompression = Compression.named("--archive-compression", v);
                        o.archive = true;
                    }),
            new OptionSpec("--icon", "FILE", "Windows: an .ico, the executable's icon; Linux: a PNG icon,\n"
                    + "NAME.png and NAME.desktop beside the launcher",
                    (o, v) -> o.icon = path("--icon", v)),
            new OptionSpec("--app-version", "VERSION", "Windows: the file and product version, one to four numbers\n"
                    + "(default: the launcher's own); deb, rpm: the package's version\n"
                    + "(default 1.0); msi: the product's version, major and minor\n"
                    + "at most 255, build at most 65535 (default 1.0)",
                    (o, v) -> o.appVersion = v),
            new OptionSpec("--vendor", "TEXT", "Windows: the company name in the executable's properties;\n"
                    + "deb: the maintainer's name; rpm: the Vendor; msi: the\n"
                    + "manufacturer",
                    (o, v) -> o.vendor = v),
            new OptionSpec("--description", "TEXT", "Windows: the file description (default: the name); Linux: the\n"
                    + "comment of the .desktop entry; deb, rpm: the package's\n"
                    + "description (rpm: its Summary);\n"
                    + "msi: the comment in Add/Remove Programs",
                    (o, v) -> o.description = v),
            new OptionSpec("--copyright", "TEXT", "Windows: the copyright in the executable's properties; deb:\n"
                    + "the copyright file's notice",
                    (o, v) -> o.copyright = v),
            new OptionSpec("--type", "app-image|deb|rpm|msi", "what to make: the application folder (the default), a Debian\n"
                    + "package or an RPM package that installs it (a Linux target;\n"
                    + "the RPM made with rpmbuild), or a Windows Installer package,\n"
                    + "NAME-VERSION.msi (a Windows target; made with wixl, or WiX 3's\n"
                    + "candle and light)",
                    (o, v) -> o.type = v),
            new OptionSpec("--install-dir", "DIR", "deb, rpm: where the package installs the folder (default\n"
                    + "/opt/PACKAGE, PACKAGE the package's name); msi: the folder\n"
                    + "under %LOCALAPPDATA%\\Programs, or under Program Files with\n"
                    + "--win-per-machine-install (default NAME)",
                    (o, v) -> o.installDir = v),
            new OptionSpec("--linux-package-name", "NAME", "deb, rpm: the package's name (default: NAME in lower case,\n"
                    + "made a valid package name)",
                    (o, v) -> o.linuxPackageName = v),
            new OptionSpec("--linux-deb-maintainer", "EMAIL", "deb: the maintainer's e-mail address, after --vendor in\n"
                    + "the Maintainer field, or the whole contact \"Name <EMAIL>\"\n"
                    + "(default EMAIL: nobody@example.invalid, which no mail reaches)",
                    (o, v) -> o.linuxDebMaintainer = v),
            new OptionSpec("--linux-app-category", "SECTION", "deb: the package's section (default misc); rpm: its Group",
                    (o, v) -> o.linuxAppCategory = v),
            new OptionSpec("--linux-shortcut", null, "deb, rpm: a menu entry, PACKAGE.desktop in\n"
                    + "/usr/share/applications",
                    (o, v) -> o.linuxShortcut = true),
            new OptionSpec("--linux-menu-group", "CATEGORIES", "deb, rpm: the menu entry's Categories, such as Office or\n"
                    + "Development;IDE",
                    (o, v) -> o.linuxMenuGroup = v),
            new OptionSpec("--linux-app-release", "RELEASE", "deb: the Debian revision after --app-version (default none);\n"
                    + "rpm: the package's Release (default 1)",
                    (o, v) -> o.linuxAppRelease = v),
            new OptionSpec("--linux-package-deps", "LIST", "deb, rpm: packages it needs beyond those its libraries need,\n"
                    + "comma-separated, added to Depends or Requires; repeatable",
                    (o, v) -> {
                        for (final String dependency : v.split(",", -1)) {
                            if (dependency.isBlank()) {
                                throw Stop.refused("--linux-package-deps " + v + " has an empty entry: give package "
                                        + "names separated by single commas, such as \"xdg-utils, libnotify4\"");
                            }
                            o.linuxPackageDeps.add(dependency.strip());
                        }
                    }),
            new OptionSpec("--linux-rpm-license-type", "TYPE", "rpm: the License field, such as MIT or Apache-2.0\n"
                    + "(default Unknown)",
                    (o, v) -> o.linuxRpmLicenseType = v),
            new OptionSpec("--license-file", "FILE", "deb: the copyright file's licence text; rpm: the package's\n"
                    + "%license, in /usr/share/licenses/PACKAGE; msi: installed in the\n"
                    + "program's folder under its own name (no licence dialog)",
                    (o, v) -> o.licenseFile = path("--license-file", v)),
            new OptionSpec("--about-url", "URL", "deb: the Homepage field; rpm: the URL field; msi: the home page\n"
                    + "in Add/Remove Programs",
                    (o, v) -> o.aboutUrl = v),
            new OptionSpec("--linux-deb-compression", "xz|gzip", "deb: how the package's files are compressed: xz (the\n"
                    + "default, as dpkg-deb does) or gzip (faster to make, larger)",
                    (o, v) -> o.linuxDebCompression = Compression.named("--linux-deb-compression", v)),
            new OptionSpec("--win-per-user-install", null, "msi: install for the user who runs the installer, in\n"
                    + "%LOCALAPPDATA%\\Programs, with no administrator rights\n"
                    + "(the default)",
                    (o, v) -> o.winPerUserInstall = true),
            new OptionSpec("--win-per-machine-install", null, "msi: install for all users, under Program Files (the\n"
                    + "installer then asks for administrator rights)",
                    (o, v) -> o.winPerMachineInstall = true),
            new OptionSpec("--win-upgrade-uuid", "UUID", "msi: the upgrade code shared by every version, so that a new\n"
                    + "version replaces the one installed (default: derived from\n"
                    + "--vendor and NAME, the same for every version)",
                    (o, v) -> o.winUpgradeUuid = v),
            new OptionSpec("--win-menu", null, "msi: a Start-menu shortcut",
                    (o, v) -> o.winMenu = true),
            new OptionSpec("--win-menu-group", "NAME", "msi: the Start-menu folder of the shortcut (implies --win-menu;\n"
                    + "default: none, the shortcut is in the menu itself)",
                    (o, v) -> o.winMenuGroup = v),
            new OptionSpec("--win-shortcut", null, "msi: a desktop shortcut",
                    (o, v) -> o.winShortcut = true),
            new OptionSpec("--win-help-url", "URL", "msi: the support link in Add/Remove Programs",
                    (o, v) -> o.winHelpUrl = v),
            new OptionSpec("--win-update-url", "URL", "msi: the link to updates in Add/Remove Programs",
                    (o, v) -> o.winUpdateUrl = v),
            new OptionSpec("--win-dir-chooser", null, "msi: refused: a dialog choosing the folder, which wixl cannot\n"
                    + "make (the README says how to add one with WiX 3)",
                    (o, v) -> o.winDirChooser = true),
            new OptionSpec("--win-shortcut-prompt", null, "msi: refused: a dialog choosing the shortcuts, which wixl\n"
                    + "cannot make (the README says how to add one with WiX 3)",
                    (o, v) -> o.winShortcutPrompt = true),
            new OptionSpec("--file-associations", "FILE", "deb, rpm, msi: a document type the program opens, in\n"
                    + "jpackage's properties (extension=, mime-type=, description=,\n"
                    + "icon=); repeatable",
                    (o, v) -> o.fileAssociations.add(path("--file-associations", v))),
            new OptionSpec("--single-instance", "CLASS.METHOD", "one running copy per user: a later start hands its\n"
                    + "arguments and current folder to the running copy's\n"
                    + "public static void METHOD(String[] arguments, String directory)",
                    (o, v) -> o.singleInstance = v),
            new OptionSpec("--app-image", "DIR", "deb, rpm, msi: make the installer from DIR, a folder this\n"
                    + "packager made before, as it is now (its executables signed,\n"
                    + "say), instead of making the folder",
                    (o, v) -> o.appImage = path("--app-image", v)),
            new OptionSpec("--launcher-as-service", null, "deb, rpm: install the launcher as a systemd service, enabled\n"
                    + "and started on installation, stopped and disabled on removal;\n"
                    + "msi (with --win-per-machine-install): as a Windows service,\n"
                    + "its service variant, started automatically and on\n"
                    + "installation, stopped and removed on removal",
                    (o, v) -> o.launcherAsService = true),
            new OptionSpec("--add-launcher", "NAME=FILE", "another launcher NAME beside the main one, sharing its\n"
                    + "runtime and jars; FILE holds jpackage's properties (module,\n"
                    + "main-jar, main-class, java-options, arguments, description,\n"
                    + "app-version, icon, win-console, win-menu, win-shortcut,\n"
                    + "linux-shortcut, ...), each replacing the main launcher's;\n"
                    + "repeatable",
                    (o, v) -> o.extraLaunchers.add(ExtraLauncher.given(v))),
            new OptionSpec("--replace", null, "replace a folder this packager made before, and remove its\n"
                    + "earlier NAME.tar.gz, NAME.tar.xz or NAME.zip; or replace the\n"
                    + "installer it makes",
                    (o, v) -> o.replace = true),
            new OptionSpec("--verbose", null, "show each tool the packager runs (jdeps, jlink, the installer's\n"
                    + "tools, the training run) with its arguments and what it printed",
                    (o, v) -> o.verbose = true),
            new OptionSpec("--resource-dir", "DIR", "files of yours used as they are in place of those the packager\n"
                    + "writes: NAME.desktop, control, postinst, prerm, postrm, preinst,\n"
                    + "copyright, PACKAGE.spec, PACKAGE.service, main.wxs (README)",
                    (o, v) -> o.resourceDir = path("--resource-dir", v)),
            new OptionSpec("--temp", "DIR", "do the work in DIR, a new or empty folder, and leave it there\n"
                    + "for inspection (default: hidden folders beside the result,\n"
                    + "removed at the end)",
                    (o, v) -> o.temp = path("--temp", v)),
            new OptionSpec("--version", null, "print the packager's version and exit", (o, v) -> { }),
            new OptionSpec("--help", null, "this text", (o, v) -> { }));

    /** jpackage's one-letter forms, each the same option as its long name. */
    private static final Map<String, String> SHORT_FORMS = Map.of("-t", "--type", "-n", "--name", "-i", "--input",
            "-d", "--dest", "-m", "--module", "-p", "--module-path", "-h", "--help");

    /**
     * The options given, with each @FILE read in its place; empty when only the help is asked for. As in
     * jpackage, --version anywhere on the line (a value's place too) asks for the version alone, and else
     * --help, -h or -? for the help alone.
     */
    static Optional<Options> parse(String[] commandLine) throws Stop {
        final List<ArgumentFiles.Word> arguments = ArgumentFiles.expand(commandLine);
        final Options options = new Options();
        if (arguments.stream().anyMatch(a -> a.text().equals("--version"))) {
            options.versionAsked = true;
            return Optional.of(options);
        }
        if (arguments.stream().anyMatch(a -> List.of("--help", "-h", "-?").contains(a.text()))) {
            return Optional.empty();
        }
        for (int i = 0; i < arguments.size(); ++i) {
            final ArgumentFiles.Word word = arguments.get(i);
            String name = word.text();
            String value = null;
            final int equals = name.indexOf('=');
            if (name.startsWith("--") && equals > 0) {
                value = name.substring(equals + 1);
                name = name.substring(0, equals);
            }
            name = SHORT_FORMS.getOrDefault(name, name);
            final OptionSpec entry = find(name).orElseThrow(() -> unknown(word));
            if (!entry.takesValue()) {
                if (value != null) {
                    throw Stop.refused(name + " takes no value; see --help");
                }
            } else if (value == null) {
                if (i + 1 >= arguments.size()) {
                    throw Stop.refused(name + " needs a value (" + entry.valueName() + ")");
                }
                value = arguments.get(++i).text();
            }
            if (value != null && Text.hasLoneSurrogate(value)) {
                throw Stop.refused(name + " has a value that is not valid Unicode text (a lone surrogate); "
                        + "give it as text");
            }
            if (value != null && (!Text.namesEncoding().newEncoder().canEncode(value) || value.indexOf('\uFFFD') >= 0)) {
                // The JVM read the command line in that encoding, and put U+FFFD for each byte it could not.
                throw Stop.refused(name + " has a value this system's encoding (" + Text.namesEncoding() + ") cannot "
                        + "carry (it arrived as " + Text.quote(value.replace('\uFFFD', '?')) + "); run the packager "
                        + "under a UTF-8 locale (LC_ALL=C.UTF-8, say)");
            }
            entry.setter().set(options, value);
        }
        return Optional.of(options);
    }

    private static Stop unknown(ArgumentFiles.Word word) {
        final String name = word.text().contains("=") && word.text().startsWith("--")
                ? word.text().substring(0, word.text().indexOf('=')) : word.text();
        if (word.file() == null) {
            return Stop.refused("unknown option " + name + "; see --help");
        }
        if (name.startsWith("@") && name.length() > 1) {
            return Stop.refused("the argument file " + Text.quote(word.file()) + " names another, " + name
                    + ": an argument file is not read from inside another; give " + name + " on the command line");
        }
        return Stop.refused("unknown option " + name + " in the argument file " + Text.quote(word.file())
                + "; see --help");
    }

    private static Optional<OptionSpec> find(String name) {
        return TABLE.stream().filter(s -> s.name().equals(name)).findFirst();
    }

    static String help() {
        final StringBuilder text = new StringBuilder(String.join("\n",
                "Usage: java -jar packager.jar --input DIR --main-jar NAME [options]",
                "       java -jar packager.jar --module NAME[/CLASS] --module-path PATH [options]",
                "       java -jar packager.jar --type deb|rpm|msi --app-image DIR [options]",
                "",
                "Makes the application folder DEST/NAME: the launcher as NAME (NAME.exe for Windows), config.json,",
                "everything in --input, and a Java runtime in jre made with jlink for the modules the jars use;",
                "or, with --type deb, rpm or msi, an installer of it.",
                "", ""));
        text.append(String.format("  %-27s %s%n", "@FILE", "read options from FILE, as jpackage reads an argument file"));
        for (final OptionSpec entry : TABLE) {
            final String shortForm = SHORT_FORMS.entrySet().stream().filter(s -> s.getValue().equals(entry.name()))
                    .map(s -> " " + s.getKey()).findFirst().orElse("");
            final String left = entry.name() + shortForm + (entry.takesValue() ? " " + entry.valueName() : "");
            final String[] lines = entry.help().split("\n");
            // A name too long for its column gets a line of its own, so that the help stays one column.
            final boolean ownLine = left.length() > 27;
            if (ownLine) {
                text.append("  ").append(left).append(System.lineSeparator());
            }
            text.append(String.format("  %-27s %s%n", ownLine ? "" : left, lines[0]));
            for (int i = 1; i < lines.length; ++i) {
                text.append(String.format("  %-27s %s%n", "", lines[i]));
            }
        }
        return text.append("\nExit status: 0 made; 1 failed, nothing left behind; 2 refused, nothing made;\n")
                .append("3 made without the ahead-of-time cache, whose training run failed.").toString();
    }

    /**
     * A value split into options exactly as jpackage splits --java-options: at whitespace (space, tab, line
     * feed, vertical tab, form feed, return) outside quotes. A pair of double or single quotes keeps what it
     * holds together and is itself left out; a backslash before a quote makes it a quote like any other
     * character, and a backslash anywhere else stays as it is (-Dunc=\\server\share). Where jpackage would
     * guess at a quote never closed, the value is refused.
     */
    static List<String> splitOptions(String option, String value) throws Stop {
        final List<String> options = new ArrayList<>();
        int start = 0;
        while (true) {
            while (start < value.length() && isOptionSpace(value.charAt(start))) {
                ++start;
            }
            if (start == value.length()) {
                return options;
            }
            int end = start;
            while (end < value.length() && !isOptionSpace(value.charAt(end))) {
                final char c = value.charAt(end);
                if (isQuote(c)) {
                    end = afterQuoted(value, end);
                } else if (c == '\\' && end + 1 < value.length() && (isQuote(value.charAt(end + 1))
                        || isOptionSpace(value.charAt(end + 1)))) {
                    end += 2;
                } else {
                    ++end;
                }
            }
            options.add(unquote(option, value, value.substring(start, end)));
            start = end;
        }
    }

    /**
     * Where the quoted text that starts at `open` ends, as jpackage finds it: after the same quote not escaped
     * with a backslash, or at the end of the value. A quote does not reach past a line break; there it closes
     * at its last escaped quote, or (with none) is a character like any other.
     */
    private static int afterQuoted(String value, int open) {
        final char quote = value.charAt(open);
        int lastEscaped = -1;
        for (int i = open + 1; i < value.length(); ++i) {
            final char c = value.charAt(i);
            if (c == quote) {
                return i + 1;
            }
            if (c == '\\' && i + 1 < value.length() && value.charAt(i + 1) == quote) {
                lastEscaped = ++i;
            } else if (isLineBreak(c)) {
                final boolean endsTheValue = i == value.length() - 1
                        || (c == '\r' && i == value.length() - 2 && value.charAt(i + 1) == '\n');
                return endsTheValue ? i : lastEscaped >= 0 ? lastEscaped + 1 : open + 1;
            }
        }
        return value.length();
    }

    private static boolean isOptionSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\u000B' || c == '\f' || c == '\r';
    }

    private static boolean isQuote(char c) {
        return c == '"' || c == '\'';
    }

    private static boolean isLineBreak(char c) {
        return c == '\n' || c == '\r' || c == '\u0085' || c == '\u2028' || c == '\u2029';
    }

    /** An option without its quotes, each escaped quote without its backslash. */
    private static String unquote(String option, String value, String quoted) throws Stop {
        final StringBuilder text = new StringBuilder();
        char quote = 0;
        for (int i = 0; i < quoted.length(); ++i) {
            final char c = quoted.charAt(i);
            if (!isQuote(c)) {
                text.append(c);
            } else if (i > 0 && quoted.charAt(i - 1) == '\\') {
                text.setCharAt(text.length() - 1, c);
            } else if (quote == 0) {
                quote = c;
            } else if (c == quote) {
                quote = 0;
            } else {
                text.append(c);
            }
        }
        if (quote != 0) {
            // jpackage's quotes end with their line, so a quote open at a line break is never closed either.
            throw Stop.refused(option + " " + value + " has a " + quote + " that is never closed"
                    + (value.chars().anyMatch(c -> isLineBreak((char) c)) ? " on its line" : ""));
        }
        return text.toString();
    }

    private static Path path(String option, String value) throws Stop {
        try {
            return Path.of(value);
        } catch (InvalidPathException notAPath) {
            throw Stop.refused(option + " " + value + " is not a path this system can name ("
                    + notAPath.getReason() + ")");
        }
    }

    private static List<Path> pathList(String option, String value) throws Stop {
        final List<Path> paths = new ArrayList<>();
        for (final String part : value.split(java.util.regex.Pattern.quote(java.io.File.pathSeparator))) {
            if (!part.isEmpty()) {
                paths.add(path(option, part));
            }
        }
        return paths;
    }

    private static long seconds(String option, String value) throws Stop {
        long seconds;
        try {
            seconds = Long.parseLong(value);
        } catch (NumberFormatException notANumber) {
            seconds = 0;
        }
        if (seconds <= 0) {
            throw Stop.refused(option + " " + value + " is not a number of seconds above 0");
        }
        return seconds;
    }
}
