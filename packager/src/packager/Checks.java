package packager;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.lang.module.FindException;
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.nio.file.FileVisitOption;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.regex.Pattern;
import java.util.stream.Stream;

/** Every check that can refuse the work, made before anything is made. */
final class Checks {
    private static final byte[] PNG_SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    /** The options java takes with their value as the next word, as the launcher reads them in config.json. */
    private static final List<String> TWO_WORD_JAVA_OPTIONS = List.of("-p", "--module-path", "--add-modules",
            "--add-opens", "--add-exports", "--add-reads", "--patch-module", "--limit-modules", "--upgrade-module-path",
            "--enable-native-access");

    private final Options options;
    private final Plan plan;

    private Checks(Options options) {
        this.options = options;
        this.plan = new Plan(options);
    }

    static Plan check(Options options) throws Stop {
        final Checks checks = new Checks(options);
        checks.run();
        return checks.plan;
    }

    private void run() throws Stop {
        if (options.appImage != null) {
            checkAppImage();
            return;
        }
        if (options.runtimeImage != null && options.module == null && options.input == null && options.mainJar == null
                && !"app-image".equals(options.type)) {
            throw Stop.refused("--type " + options.type + " with --runtime-image alone would install a Java runtime "
                    + "without a program, which the packager does not make: its installers install a launcher's "
                    + "folder; give the program with --input and --main-jar (or --module)");
        }
        if (options.module != null && options.mainJar != null) {
            throw Stop.refused("give --main-jar or --module, not both: --main-jar names the jar of a program run from "
                    + "the class path, --module the main module of a modular one");
        }
        if (options.module == null && (options.input == null || options.mainJar == null)) {
            throw Stop.refused((options.input == null ? "--input" : "--main-jar") + " is missing: give the folder of "
                    + "the program's jars with --input and the jar holding the main class with --main-jar (or the "
                    + "main module with --module)");
        }
        if (options.input != null && !Files.isDirectory(options.input)) {
            throw Stop.refused("--input " + Text.quote(options.input) + " is not a folder");
        }
        // Real paths: a folder given through a link is the folder it names, and "." is the current one.
        final Path input = options.input == null ? null : realPath(options.input);
        plan.input = input;
        if (input != null && realPathOfWhatMayNotExist(options.dest.toAbsolutePath()).startsWith(input)) {
            throw Stop.refused("--dest " + Text.quote(options.dest) + " lies inside --input " + Text.quote(options.input)
                    + ", which is copied whole; choose another --dest");
        }
        for (final Path folder : options.modulePath) {
            if (!Files.exists(folder)) {
                throw Stop.refused("--module-path names " + Text.quote(folder) + ", which does not exist");
            }
        }
        checkJavaOptions("--java-options", options.javaOptions);
        if (options.module != null) {
            checkMainModule();
        } else {
            plan.mainJarPath = input.resolve(options.mainJar).normalize();
            if (!plan.mainJarPath.startsWith(input)) {
                throw Stop.refused("--main-jar " + options.mainJar + " lies outside --input " + Text.quote(options.input)
                        + "; name a jar in that folder");
            }
            if (!Files.isRegularFile(plan.mainJarPath)) {
                throw Stop.refused("--main-jar " + options.mainJar + " does not exist in " + Text.quote(options.input));
            }
            checkMainClass();
        }
        plan.classPath = ClassPath.of(input, plan.mainJarPath);
        plan.name = options.name != null ? options.name
                : plan.mainModule != null ? plan.mainModule
                : plan.mainJarPath.getFileName().toString().replaceFirst("(?i)\\.jar$", "");
        checkName("--name", plan.name);
        plan.target = options.target != null ? options.target : Target.own().orElseThrow(
                () -> Stop.refused("this machine is neither Linux nor Windows: give --target"));
        checkPackageType();
        plan.fileAssociations = FileAssociation.read(options.fileAssociations, plan.name, plan.target);
        final List<String> reserved = new ArrayList<>(List.of("jre", "config.json", Plan.MARKER, plan.executableName()));
        for (final FileAssociation association : plan.fileAssociations) {
            if (association.icon() != null && plan.target == Target.WINDOWS) {
                reserved.add(association.iconFileName(plan.name));
            }
        }
        if (options.icon != null && plan.target == Target.LINUX) {
            reserved.addAll(List.of(plan.name + ".png", plan.name + ".desktop"));
        }
        if (!plan.classPath.externalJars.isEmpty()) {
            reserved.add(ClassPath.EXTERNAL_FOLDER);
        }
        if (plan.splashEntry != null) {
            reserved.add(plan.splashImageName());
        }
        plan.extraLaunchers = options.extraLaunchers;
        reserved.addAll(ExtraLaunchers.checkNames(plan));
        if (options.aotCache) {
            reserved.addAll(List.of(Plan.AOT_CACHE, Plan.AOT_CACHE + ".config"));  // the cache, and the JVM's file while it writes it
        }
        if (input != null) {
            checkInput(input, reserved);
        }
        checkAppContent(reserved);
        checkLauncher();
        checkRuntime();
        if (plan.mainModule != null && plan.runtimeImage != null && !JavaRuntime.releaseModules(plan.runtimeImage)
                .contains(plan.mainModule)) {
            throw Stop.refused("--runtime-image " + Text.quote(options.runtimeImage) + " does not hold the module "
                    + plan.mainModule + " (its release file does not list it); link the module into it, or give "
                    + "--module-path instead");
        }
        ExtraLaunchers.check(plan);
        InstallerTexts.check(plan);
        checkWindowsInstaller(reserved);
        checkBranding();
        checkLinuxPackage();
        if (options.aotCache && !plan.target.isOwn()) {
            throw Stop.refused("--aot-cache trains the program on this machine, so the target must be this machine's "
                    + "platform, not " + plan.target.name);
        }
        if (options.aotCache && plan.runtimeFeature < 25) {
            final String version = plan.runtimeFeature == 0 ? "of a version its release file does not name"
                    : "Java " + plan.runtimeFeature;
            throw Stop.refused("--aot-cache needs a Java 25 or later runtime, and this one is " + version
                    + ": an older runtime records the folder's absolute path in its archive of the "
                    + "program's classes and ignores the archive once the folder moves; run the packager with a "
                    + "JDK 25 or give --runtime-image a Java 25 runtime");
        }
        plan.resources = ResourceDir.read(plan);
        settleWhereItGoes();
    }

    /**
     * --app-image: an installer of a folder this packager made, as it is. What makes the folder is refused; what
     * the installer writes is checked as for any installer.
     */
    private void checkAppImage() throws Stop {
        final List<String> making = given(new Object[][] {{"--input", options.input}, {"--main-jar", options.mainJar},
                {"--main-class", options.mainClass}, {"--module", options.module},
                {"--module-path", !options.modulePath.isEmpty()}, {"--java-options", !options.javaOptions.isEmpty()},
                {"--arguments", !options.arguments.isEmpty()}, {"--runtime-image", options.runtimeImage},
                {"--add-modules", !options.addModules.isEmpty()}, {"--jlink-options", options.jlinkOptions},
                {"--launcher", options.launcher}, {"--win-console", options.winConsole},
                {"--aot-cache", options.aotCache}, {"--archive", options.archive},
                {"--archive-compression", options.archiveCompression}, {"--icon", options.icon},
                {"--single-instance", options.singleInstance}, {"--add-launcher", !options.extraLaunchers.isEmpty()},
                {"--app-content", !options.appContent.isEmpty()}});
        if (!making.isEmpty()) {
            throw Stop.refused(making.get(0) + " is for making the folder, and --app-image " + Text.quote(options.appImage)
                    + " is a folder made already, which the installer holds as it is; leave " + making.get(0) + " out");
        }
        if (!plan.isInstaller()) {
            throw Stop.refused("--app-image makes an installer of a folder made before: give --type deb, rpm or msi with it");
        }
        final AppImage image = AppImage.read(options.appImage, options.name, options.target);
        plan.appImage = realPath(image.folder);
        plan.name = image.name;
        plan.target = image.target;
        plan.extraLaunchers = image.extraLaunchers;
        plan.launcher = plan.appImage.resolve(plan.executableName());
        checkName("--name", plan.name);
        checkPackageType();
        if (plan.isMsi()) {
            checkServiceVariants();
        }
        if (plan.isMsi() && options.copyright != null) {
            throw Stop.refused("--copyright is the copyright in the executable's properties, written when the folder "
                    + "is made; --app-image " + Text.quote(options.appImage) + " is made already, so leave it out");
        }
        plan.fileAssociations = FileAssociation.read(options.fileAssociations, plan.name, plan.target);
        final String notCopyable = whyNotCopyable(plan.appImage, "--app-image");
        if (notCopyable != null) {
            throw Stop.refused("--app-image " + Text.quote(options.appImage) + " cannot be copied whole: " + notCopyable);
        }
        checkNamesAreText(plan.appImage, "--app-image " + Text.quote(options.appImage), true);
        ExtraLaunchers.checkForTheInstaller(plan);
        InstallerTexts.check(plan);
        // Beside the folder's own files the installer writes only the document types' icons.
        checkWindowsInstaller(plan.fileAssociations.stream().filter(association -> association.icon() != null)
                .map(association -> association.iconFileName(plan.name)).toList());
        checkLinuxPackage();
        plan.resources = ResourceDir.read(plan);
        settleWhereItGoes();
    }

    /** Where the folder, archive or installer goes, which must be free or replaceable, and the MSI's tools. */
    private void settleWhereItGoes() throws Stop {
        plan.appFolder = options.dest.toAbsolutePath().normalize().resolve(plan.name);
        plan.archivePath = plan.appFolder.resolveSibling(plan.archiveFileName());
        checkReplaceable();
        checkTemp();
        if (plan.isRpm()) {
            // Last, so that every mistake in the options is named first.
            plan.rpmbuild = ExecutablePath.find("rpmbuild").orElseThrow(() -> Stop.refused("--type rpm needs "
                    + "rpmbuild on the path (the Debian and Ubuntu package rpm, the Fedora package rpm-build); it "
                    + "is not on PATH"));
        }
        if (plan.isMsi()) {
            // Last, so that every mistake in the options is named first.
            plan.msiTools = MsiPackage.findTools().orElseThrow(() -> Stop.refused("--type msi needs wixl on the path "
                    + "(the Debian and Ubuntu package wixl, the Fedora package msitools), or WiX 3's candle and "
                    + "light; none of them is on PATH"));
        }
    }

    /** JVM options the launcher can pass on: no class path of their own, no option left without its value. */
    static void checkJavaOptions(String origin, List<String> javaOptions) throws Stop {
        for (final String option : javaOptions) {
            if (List.of("-cp", "-classpath", "--class-path", "-jar").contains(option)) {
                throw Stop.refused(origin + " " + option + " cannot be used: the class path is the main jar and "
                        + "the other jars of --input, which the packager puts on it; leave the option out");
            }
        }
        final String last = javaOptions.isEmpty() ? null : javaOptions.get(javaOptions.size() - 1);
        if (last != null && TWO_WORD_JAVA_OPTIONS.contains(last)) {
            // The launcher joins such an option with the word after it, and refuses to start without one.
            throw Stop.refused(origin + " " + last + " needs its value after it, as java takes it (" + last
                    + " VALUE), or joined to it (" + (last.equals("-p") ? "--module-path" : last) + "=VALUE)");
        }
    }

    static boolean isPng(Path file) {
        return FileTrees.startsWith(file, PNG_SIGNATURE);
    }

    /** Nothing in --input has a name the packager gives its own files, and all of it can be copied. */
    private void checkInput(Path input, List<String> reserved) throws Stop {
        for (final String name : reserved) {
            if (Files.exists(input.resolve(name), LinkOption.NOFOLLOW_LINKS)) {
                throw Stop.refused("--input " + Text.quote(options.input) + " holds a " + name + ", which the packager "
                        + "makes; take it out" + (name.startsWith(plan.name) ? " or choose another --name" : ""));
            }
        }
        final String notCopyable = whyNotCopyable(input, "--input");
        if (notCopyable != null) {
            throw Stop.refused("--input " + Text.quote(options.input) + " cannot be copied whole: " + notCopyable);
        }
        checkNamesAreText(input, "--input " + Text.quote(options.input), true);
        if (plan.target == Target.WINDOWS) {
            checkNamesForWindows(input, reserved);
        }
    }

    /**
     * --app-content: each file or folder exists and can be copied whole, and its name is none the folder holds
     * already (the packager's own files, those of --input, another --app-content), for a Windows target letter
     * case aside; nor does it hold what the packager makes or works in.
     */
    private void checkAppContent(List<String> reserved) throws Stop {
        final java.util.Map<String, String> taken = new java.util.LinkedHashMap<>();
        for (final String name : reserved) {
            taken.put(name, "the packager makes");
        }
        if (plan.input != null) {
            try (Stream<Path> files = Files.list(plan.input)) {
                files.forEach(file -> taken.putIfAbsent(file.getFileName().toString(), "--input holds"));
            } catch (IOException | UncheckedIOException unreadable) {
                throw Stop.refused("--input " + Text.quote(options.input) + " cannot be read: " + Text.describe(unreadable));
            }
        }
        final List<AppContent> contents = new ArrayList<>();
        for (final Path given : options.appContent) {
            final String origin = "--app-content " + Text.quote(given);
            if (!Files.exists(given)) {
                throw Stop.refused(origin + " does not exist; give a file or folder to copy into the folder");
            }
            final Path named = given.toAbsolutePath().normalize().getFileName();
            if (named == null) {
                throw Stop.refused(origin + " is the root of a file system, which has no name to copy it as; give "
                        + "the folders inside it");
            }
            final String name = named.toString();
            for (final var other : taken.entrySet()) {
                final boolean same = other.getKey().equals(name);
                if (same || (plan.target == Target.WINDOWS && WindowsNames.same(other.getKey(), name))) {
                    throw Stop.refused(origin + " would be " + Text.quote(name) + " in the folder, and " + other.getValue()
                            + " " + Text.quote(other.getKey()) + (same ? "" : ", which Windows, ignoring letter case, "
                                    + "takes for it") + "; rename it or leave it out");
                }
            }
            taken.put(name, "another --app-content is");
            final AppContent content = new AppContent(given, realPath(given), name);
            if (Files.isDirectory(content.source()) && realPathOfWhatMayNotExist(options.dest.toAbsolutePath())
                    .startsWith(content.source())) {
                throw Stop.refused("--dest " + Text.quote(options.dest) + " lies inside " + origin + ", which is "
                        + "copied whole; choose another --dest");
            }
            final String notCopyable = whyNotCopyable(content.source(), "--app-content");
            if (notCopyable != null) {
                throw Stop.refused(origin + " cannot be copied whole: " + notCopyable);
            }
            if ((options.archive || plan.isInstaller()) && !FileTrees.isText(named)) {
                throw Stop.refused((options.archive ? "--archive" : "--type " + options.type) + " cannot hold the name "
                        + "of " + Text.quote(given) + ", which is not text in this system's encoding ("
                        + Text.namesEncoding() + "); rename it");
            }
            checkNamesAreText(content.source(), origin, false);
            if (plan.target == Target.WINDOWS) {
                if (!isWindowsFileName(name)) {
                    throw Stop.refused(origin + " is named so that Windows gives it no file (a trailing dot or "
                            + "space, \\ / < > : \" | ? *, or a device's name such as CON or NUL); rename it");
                }
                checkTreeForWindows(content.source(), origin);
            }
            contents.add(content);
        }
        plan.appContent = contents;
    }

    /**
     * Names that must be text are text in this system's encoding: every name in an archive or a package, and
     * the jars config.json lists. The folder itself takes any name, as the bytes it is.
     */
    private void checkNamesAreText(Path input, String origin, boolean jarsListed) throws Stop {
        final String format = options.archive ? "--archive" : plan.isInstaller() ? "--type " + options.type : null;
        final Path file = firstFile(input, origin, path -> (format != null || (jarsListed && ClassPath.isJar(path)))
                && !FileTrees.isText(input.relativize(path)));
        if (file != null) {
            throw Stop.refused((format != null ? format : "config.json") + " cannot hold the name of " + Text.quote(file)
                    + ", which is not text in this system's encoding (" + Text.namesEncoding() + "); "
                    + (Text.namesEncoding().equals(java.nio.charset.StandardCharsets.UTF_8) ? ""
                            : "run the packager under a UTF-8 locale (LC_ALL=C.UTF-8, say) or ")
                    + "rename the file");
        }
    }

    /**
     * Windows ignores letter case: of two names in a folder that differ only in it, Windows keeps one file, and
     * a file named like one of the packager's own would be replaced by it.
     */
    private void checkNamesForWindows(Path input, List<String> reserved) throws Stop {
        final java.util.Map<Path, List<String>> namesByFolder = namesByFolder(input, "--input " + Text.quote(options.input));
        for (final String name : reserved) {
            final String clash = namesByFolder.getOrDefault(input, List.of()).stream()
                    .filter(other -> WindowsNames.same(name, other)).findFirst().orElse(null);
            if (clash != null) {
                throw Stop.refused("--input " + Text.quote(options.input) + " holds " + Text.quote(clash) + ", which "
                        + "Windows, ignoring letter case, takes for the " + Text.quote(name) + " the packager makes; "
                        + "rename it" + (name.startsWith(plan.name) ? " or choose another --name" : ""));
            }
        }
        checkTreeForWindows(input, "--input " + Text.quote(options.input));
    }

    /** The names of the files and folders below `root` (which `origin` names in messages), by folder. */
    private static java.util.Map<Path, List<String>> namesByFolder(Path root, String origin) throws Stop {
        final java.util.Map<Path, List<String>> namesByFolder = new java.util.TreeMap<>();
        try (Stream<Path> files = Files.walk(root, FileVisitOption.FOLLOW_LINKS)) {
            for (final Path file : (Iterable<Path>) files.sorted()::iterator) {
                if (!file.equals(root) && FileTrees.isText(file.getFileName())) {
                    namesByFolder.computeIfAbsent(file.getParent(), folder -> new ArrayList<>())
                            .add(file.getFileName().toString());
                }
            }
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(origin + " cannot be read: " + Text.describe(unreadable));
        }
        return namesByFolder;
    }

    /** Every name below `root` is one Windows gives a file, and no two in a folder differ in letter case alone. */
    private static void checkTreeForWindows(Path root, String origin) throws Stop {
        for (final var folder : namesByFolder(root, origin).entrySet()) {
            for (final String name : folder.getValue()) {
                if (!isWindowsFileName(name)) {
                    throw Stop.refused(origin + " holds " + Text.quote(root
                            .relativize(folder.getKey()).resolve(name)) + ", a name Windows gives no file (it drops a "
                            + "trailing dot or space, refuses \\ / < > : \" | ? * and keeps CON, PRN, AUX, NUL, "
                            + "COM1-9 and LPT1-9 for devices); rename it");
                }
            }
            final List<String> clash = WindowsNames.firstClash(folder.getValue()).orElse(null);
            if (clash != null) {
                final Path inFolder = root.relativize(folder.getKey());
                throw Stop.refused(origin + " holds " + Text.quote(inFolder
                        .resolve(clash.get(0))) + " and " + Text.quote(inFolder.resolve(clash.get(1))) + ", which "
                        + "Windows, ignoring letter case, takes for one file; rename one of them");
            }
        }
    }

    /** --type, and the options that only an installer, or only one type of installer, takes. */
    private void checkPackageType() throws Stop {
        if (!List.of("app-image", "deb", "rpm", "msi").contains(options.type)) {
            throw Stop.refused("--type " + options.type + " is not one the packager makes: give app-image (the folder), "
                    + "deb (a Debian package), rpm (an RPM package) or msi (a Windows Installer package)");
        }
        final List<String> debOnly = given(new Object[][] {{"--linux-deb-maintainer", options.linuxDebMaintainer},
                {"--linux-deb-compression", options.linuxDebCompression}});
        final List<String> rpmOnly = given(new Object[][] {{"--linux-rpm-license-type", options.linuxRpmLicenseType}});
        final List<String> linuxPackageOnly = given(new Object[][] {{"--linux-package-name", options.linuxPackageName},
                {"--linux-app-category", options.linuxAppCategory}, {"--linux-shortcut", options.linuxShortcut},
                {"--linux-menu-group", options.linuxMenuGroup}, {"--linux-app-release", options.linuxAppRelease},
                {"--linux-package-deps", !options.linuxPackageDeps.isEmpty()}});
        final List<String> msiOnly = given(new Object[][] {{"--win-per-user-install", options.winPerUserInstall},
                {"--win-per-machine-install", options.winPerMachineInstall}, {"--win-upgrade-uuid", options.winUpgradeUuid},
                {"--win-menu", options.winMenu}, {"--win-menu-group", options.winMenuGroup},
                {"--win-shortcut", options.winShortcut}, {"--win-help-url", options.winHelpUrl},
                {"--win-update-url", options.winUpdateUrl}, {"--win-dir-chooser", options.winDirChooser},
                {"--win-shortcut-prompt", options.winShortcutPrompt}});
        final List<String> installerOnly = given(new Object[][] {{"--install-dir", options.installDir},
                {"--file-associations", !options.fileAssociations.isEmpty()}, {"--license-file", options.licenseFile},
                {"--about-url", options.aboutUrl}});
        if (options.launcherAsService && !plan.isLinuxPackage() && !plan.isMsi() && !isWindowsFolder()) {
            throw Stop.refused("--launcher-as-service is for a Linux package, which installs a systemd service, or "
                    + "a Windows Installer package, which installs a Windows service: give --type deb, rpm or msi "
                    + "with it");
        }
        if (options.launcherAsService && plan.isMsi() && !options.winPerMachineInstall) {
            throw Stop.refused(MsiServices.NOT_PER_USER.formatted("--launcher-as-service"));
        }
        if (!plan.isDeb() && !debOnly.isEmpty()) {
            throw Stop.refused(debOnly.get(0) + " is for a Debian package: give --type deb with it");
        }
        if (!plan.isRpm() && !rpmOnly.isEmpty()) {
            throw Stop.refused(rpmOnly.get(0) + " is for an RPM package: give --type rpm with it");
        }
        if (!plan.isLinuxPackage() && !linuxPackageOnly.isEmpty()) {
            throw Stop.refused(linuxPackageOnly.get(0) + " is for a Linux package: give --type deb or rpm with it");
        }
        if (!plan.isMsi() && !msiOnly.isEmpty()) {
            throw Stop.refused(msiOnly.get(0) + " is for a Windows Installer package: give --type msi with it");
        }
        if (!plan.isInstaller() && !installerOnly.isEmpty()) {
            throw Stop.refused(installerOnly.get(0) + " is for an installer: give --type deb, rpm or msi with it");
        }
        if (plan.isLinuxPackage() && plan.target != Target.LINUX) {
            throw Stop.refused("--type " + options.type + " makes a package that installs a Linux program; the target "
                    + "is " + plan.target.name);
        }
        if (plan.isMsi() && plan.target != Target.WINDOWS) {
            throw Stop.refused("--type msi makes a Windows Installer package, which installs a Windows program; the "
                    + "target is " + plan.target.name + " (give --target windows)");
        }
        if (options.archiveCompression != null && plan.target == Target.WINDOWS) {
            throw Stop.refused("--archive-compression chooses how a Linux target's NAME.tar is compressed; a Windows "
                    + "target's archive is NAME.zip, so leave it out");
        }
        if (options.archive && plan.isInstaller()) {
            throw Stop.refused((options.archiveCompression != null ? "--archive-compression" : "--archive")
                    + " archives the folder, and --type " + options.type + " makes an installer of it; give one");
        }
    }

    /**
     * A Windows target's folder, whose launchers --launcher-as-service makes the service variant, so that a
     * Windows Installer package of it (--app-image) installs the service.
     */
    boolean isWindowsFolder() {
        return !plan.isInstaller() && plan.target == Target.WINDOWS;
    }

    /** The names of the options given among {name, value}: a value that is not null, false or empty. */
    static List<String> given(Object[][] options) {
        return java.util.Arrays.stream(options).filter(o -> o[1] != null && !Boolean.FALSE.equals(o[1]))
                .map(o -> (String) o[0]).toList();
    }

    /** What a Debian or RPM package needs: a valid name, version, release and install folder, and its extra fields. */
    private void checkLinuxPackage() throws Stop {
        if (!plan.isLinuxPackage()) {
            return;
        }
        final boolean deb = plan.isDeb();
        final String kind = deb ? "Debian" : "RPM";
        plan.linuxPackageName = options.linuxPackageName != null ? options.linuxPackageName
                : plan.name.toLowerCase(java.util.Locale.ROOT).replaceAll("[^a-z0-9+.-]+", "-").replaceAll("^[^a-z0-9]+", "");
        if (!plan.linuxPackageName.matches(deb ? "[a-z0-9][a-z0-9+.-]+" : "[A-Za-z0-9][A-Za-z0-9+._-]+")) {
            throw Stop.refused("the package name " + plan.linuxPackageName + " is not one " + kind + " accepts: two or "
                    + "more " + (deb ? "lower-case letters" : "letters") + ", digits and + - ." + (deb ? "" : " _")
                    + ", starting with a letter or digit; give --linux-package-name");
        }
        final String release = options.linuxAppRelease;
        if (deb && !plan.packageVersion().matches("([0-9]+:)?[0-9][A-Za-z0-9.+~]*(-[A-Za-z0-9.+~]+)?")) {
            throw Stop.refused("--app-version " + plan.packageVersion() + " is not a Debian version: it must start with "
                    + "a digit and hold only letters, digits and . + ~ (and one - before a revision), such as 1.2.0");
        }
        if (deb && release != null && plan.packageVersion().contains("-")) {
            throw Stop.refused("--app-version " + plan.packageVersion() + " holds a Debian revision, and "
                    + "--linux-app-release gives one too; give the revision once");
        }
        if (!deb && !plan.packageVersion().matches("[0-9][A-Za-z0-9._+~^]*")) {
            throw Stop.refused("--app-version " + plan.packageVersion() + " is not an RPM version: it must start with a "
                    + "digit and hold only letters, digits and . _ + ~ ^ (no -, which separates the release), such "
                    + "as 1.2.0");
        }
        if (release != null && !release.matches(deb ? "[A-Za-z0-9.+~]+" : "[A-Za-z0-9._+~^]+")) {
            throw Stop.refused("--linux-app-release " + release + " is not " + (deb ? "a Debian revision" : "an RPM "
                    + "release") + ": give letters, digits and . + ~" + (deb ? "" : " _ ^") + ", such as 2");
        }
        plan.installDir = options.installDir != null ? options.installDir : "/opt/" + plan.linuxPackageName;
        if (!plan.installDir.startsWith("/") || plan.installDir.equals("/")
                || List.of(plan.installDir.split("/")).contains("..") || plan.installDir.contains("\\")) {
            throw Stop.refused("--install-dir " + plan.installDir + " is not an absolute folder such as /opt/"
                    + plan.linuxPackageName);
        }
        if (!deb && !plan.installDir.matches("[A-Za-z0-9._+@~/ -]+")) {
            // rpmbuild reads the folder in its list of files, where other characters are patterns or quotes.
            throw Stop.refused("--install-dir " + plan.installDir + " holds a character an RPM's list of files "
                    + "cannot carry as it is: use letters, digits, spaces and . _ + @ ~ - /");
        }
        plan.installDir = plan.installDir.replaceAll("/+$", "");
        plan.debArchitecture = debArchitecture(plan.launcher);
        plan.rpmArchitecture = plan.debArchitecture.equals("amd64") ? "x86_64" : "aarch64";
        checkLinuxPackageFields();
        final List<Path> trees = new java.util.ArrayList<>();
        for (final Path tree : new Path[] {plan.input, plan.appImage}) {
            if (tree != null) {
                trees.add(tree);
            }
        }
        plan.appContent.forEach(content -> trees.add(content.source()));
        for (final Path tree : trees) {
            // dpkg refuses such a name on installation, and rpmbuild's list of files is read line by line.
            final Path file = firstFile(tree, Text.quote(tree), path -> path.getFileName().toString()
                    .matches("(?s).*[\\n\\r].*"));
            if (file != null) {
                throw Stop.refused("the " + kind + " package cannot hold the name of " + Text.quote(file) + ", which "
                        + "holds a line break; rename the file");
            }
        }
    }

    /** The licence file, the home page, the other packages needed and the menu group a Linux package names. */
    private void checkLinuxPackageFields() throws Stop {
        if (options.licenseFile != null) {
            checkLicenseFile();
            try {
                java.nio.charset.StandardCharsets.UTF_8.newDecoder().decode(java.nio.ByteBuffer.wrap(
                        Files.readAllBytes(options.licenseFile)));
            } catch (java.nio.charset.CharacterCodingException notUtf8) {
                throw Stop.refused("--license-file " + Text.quote(options.licenseFile) + " is not UTF-8 text, which "
                        + "the package's copyright file must be; convert it (iconv -t UTF-8)");
            } catch (IOException unreadable) {
                throw Stop.refused("--license-file " + Text.quote(options.licenseFile) + " cannot be read: "
                        + Text.describe(unreadable));
            }
            if (!options.licenseFile.getFileName().toString().matches("[A-Za-z0-9][A-Za-z0-9._+-]*")) {
                throw Stop.refused("--license-file " + Text.quote(options.licenseFile) + " has a name the package "
                        + "cannot list as it is: name it with letters, digits and . _ + - (LICENSE, say)");
            }
        }
        checkWebAddresses();
        if (options.linuxMenuGroup != null && !DesktopEntry.isCategoryList(options.linuxMenuGroup)) {
            throw Stop.refused("--linux-menu-group " + options.linuxMenuGroup + " is not a list of menu categories: "
                    + "give one or more names of letters, digits and -, separated by ;, such as Office or "
                    + "Development;IDE");
        }
    }

    /** --license-file, for any installer: a file that can be read. */
    private void checkLicenseFile() throws Stop {
        if (!Files.isRegularFile(options.licenseFile)) {
            throw Stop.refused("--license-file " + Text.quote(options.licenseFile) + (Files.exists(options.licenseFile)
                    ? " is not a file" : " does not exist") + "; give the file of the product's licence");
        }
        try (java.io.InputStream readable = Files.newInputStream(options.licenseFile)) {
            readable.read();
        } catch (IOException unreadable) {
            throw Stop.refused("--license-file " + Text.quote(options.licenseFile) + " cannot be read: "
                    + Text.describe(unreadable));
        }
    }

    /** The web addresses an installer names: absolute http, https or ftp URLs. */
    private void checkWebAddresses() throws Stop {
        for (final String[] url : new String[][] {{"--about-url", options.aboutUrl},
                {"--win-help-url", options.winHelpUrl}, {"--win-update-url", options.winUpdateUrl}}) {
            if (url[1] != null && !url[1].matches("(?i)(https?|ftp)://[^\\s/?#]+[^\\s]*")) {
                throw Stop.refused(url[0] + " " + url[1] + " is not a web address: give an absolute URL such as "
                        + "https://example.com/product");
            }
        }
    }

    /** jpackage's dialog options: the package has no dialogs, as wixl makes none. */
    private void refuseDialogs() throws Stop {
        final String chooses = options.winDirChooser ? "the folder it installs to"
                : options.winShortcutPrompt ? "the shortcuts it makes" : null;
        if (chooses != null) {
            throw Stop.refused((options.winDirChooser ? "--win-dir-chooser" : "--win-shortcut-prompt") + " asks for "
                    + "an installer dialog in which the user chooses " + chooses + ", and wixl cannot make installer "
                    + "dialogs, so the packager's Windows Installer package has none; leave the option out, or add "
                    + "the dialog with WiX 3 to the WiX source the packager writes (--temp DIR keeps it, as "
                    + "DIR/package/product.wxs; the README's \"A Windows Installer package\" says how)");
        }
    }

    /**
     * --license-file for an MSI: installed in the program's folder under its own name, which must be a name the
     * package holds and no other file's there, letter case aside (`made`: the packager's own files beside those
     * of --input or --app-image).
     */
    private void checkLicenseFileInTheFolder(List<String> made) throws Stop {
        checkLicenseFile();
        final String name = options.licenseFile.getFileName().toString();
        final String installed = "--license-file " + Text.quote(options.licenseFile) + " is installed in the "
                + "program's folder as " + name;
        if (!isWindowsFileName(name) || !MsiPackage.canHold(name)) {
            throw Stop.refused(installed + ", a name the package cannot hold: Windows names no file with \\ / < > : "
                    + "\" | ? * or a trailing dot or space, and wixl writes its texts in code page 1252 (Western "
                    + "European) and reads $( and $$ as variables; rename the file (LICENSE.txt, say)");
        }
        for (final String own : made) {
            if (WindowsNames.same(name, own)) {
                throw Stop.refused(installed + ", and the packager makes its own " + own + " there; rename the "
                        + "licence file (LICENSE.txt, say)");
            }
        }
        final Path folder = plan.input != null ? plan.input : plan.appImage;
        if (folder == null) {
            return;
        }
        final String option = plan.input != null ? "--input " + Text.quote(options.input)
                : "--app-image " + Text.quote(options.appImage);
        final String clash;
        try (Stream<Path> files = Files.list(folder)) {
            clash = files.map(file -> file.getFileName().toString()).filter(other -> WindowsNames.same(name, other))
                    .findFirst().orElse(null);
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(option + " cannot be read: " + Text.describe(unreadable));
        }
        if (clash != null) {
            throw Stop.refused(installed + ", where " + Text.quote(clash) + " of " + option + " goes too: Windows, "
                    + "ignoring letter case, takes the two for one file; rename one of them");
        }
    }

    /**
     * What a Windows Installer package needs: a version and an upgrade code it can hold, a folder under the
     * per-user or per-machine programs folder, texts in the code page its database is written in, web addresses
     * and a licence file of a name of its own in the folder (`made`: the names of the packager's files there).
     */
    private void checkWindowsInstaller(List<String> made) throws Stop {
        if (!plan.isMsi()) {
            return;
        }
        refuseDialogs();
        if (options.winPerUserInstall && options.winPerMachineInstall) {
            throw Stop.refused("give --win-per-user-install or --win-per-machine-install, not both");
        }
        MsiServices.check(plan);
        plan.msiVersion = options.appVersion != null ? options.appVersion : "1.0";
        final String why = MsiPackage.whyNotAVersion(plan.msiVersion);
        if (why != null) {
            throw Stop.refused("--app-version " + plan.msiVersion + " " + why);
        }
        if (!plan.msiVersion.contains(".")) {
            plan.msiVersion += ".0";  // Windows Installer reads at least major.minor
        }
        if (options.winUpgradeUuid != null) {
            plan.upgradeCode = MsiPackage.parseGuid(options.winUpgradeUuid).orElseThrow(() -> Stop.refused(
                    "--win-upgrade-uuid " + options.winUpgradeUuid + " is not a UUID: give 32 hexadecimal digits "
                            + "grouped 8-4-4-4-12, such as 3f2504e0-4f89-41d3-9a0c-0305e82c3301"));
        } else {
            plan.upgradeCode = MsiPackage.derivedUpgradeCode(options.vendor, plan.name);
        }
        if (options.installDir == null && !isWindowsFileName(plan.name)) {
            throw Stop.refused("--name " + plan.name + " ends in " + (plan.name.endsWith(".") ? "a dot" : "a space")
                    + ", which Windows drops from a folder's name, so the package cannot install the folder of that "
                    + "name: give a --name without it, or the folder with --install-dir");
        }
        plan.installDir = options.installDir != null ? options.installDir.replace('/', '\\') : plan.name;
        plan.installDir = plan.installDir.replaceAll("\\\\+$", "");
        final boolean absolute = plan.installDir.startsWith("\\") || plan.installDir.matches("[A-Za-z]:.*");
        if (absolute || !List.of(plan.installDir.split("\\\\", -1)).stream().allMatch(Checks::isWindowsFileName)) {
            throw Stop.refused("--install-dir " + options.installDir + " is not a folder under "
                    + (options.winPerMachineInstall ? "Program Files" : "%LOCALAPPDATA%\\Programs")
                    + ", where the package installs: give a relative folder such as \"Example\\" + plan.name + "\"");
        }
        if (options.winMenuGroup != null && !isWindowsFileName(options.winMenuGroup)) {
            throw Stop.refused("--win-menu-group " + options.winMenuGroup + " is not a folder name Windows accepts: "
                    + "leave out \\ / < > : \" | ? * and line breaks, and end it with neither a dot nor a space");
        }
        checkWebAddresses();
        final List<String[]> texts = new ArrayList<>(List.of(new String[] {"--name", plan.name},
                new String[] {"--vendor", options.vendor}, new String[] {"--description", options.description},
                new String[] {"--install-dir", plan.installDir}, new String[] {"--win-menu-group", options.winMenuGroup},
                new String[] {"--about-url", options.aboutUrl}, new String[] {"--win-help-url", options.winHelpUrl},
                new String[] {"--win-update-url", options.winUpdateUrl}));
        for (final FileAssociation association : plan.fileAssociations) {
            texts.add(new String[] {"--file-associations description", association.description()});
        }
        for (final String[] text : texts) {
            if (text[1] != null && !MsiPackage.canHold(text[1])) {
                throw Stop.refused(text[0] + " " + text[1] + " cannot be held by the package: wixl writes its texts "
                        + "in code page 1252 (Western European) and reads $( and $$ as variables; give the text in "
                        + "those characters, without $( or $$");
            }
        }
        if (plan.input != null) {
            checkNamesForTheInstaller(plan.input, "--input " + Text.quote(options.input));
        }
        if (plan.appImage != null) {
            checkNamesForTheInstaller(plan.appImage, "--app-image " + Text.quote(options.appImage));
            checkTreeForWindows(plan.appImage, "--app-image " + Text.quote(options.appImage));
        }
        for (final AppContent content : plan.appContent) {
            if (!MsiPackage.canHold(content.name())) {
                throw refusedForTheInstaller(content.given());
            }
            checkNamesForTheInstaller(content.source(), content.origin());
        }
        if (options.licenseFile != null) {
            checkLicenseFileInTheFolder(made);
        }
    }

    /**
     * Whether Windows names a file or folder so, exactly: not empty, . or .., no reserved character, no trailing
     * dot or space.
     */
    private static boolean isWindowsFileName(String name) {
        return !name.isBlank() && !name.equals(".") && !name.equals("..") && !name.endsWith(".") && !name.endsWith(" ")
                && name.codePoints().noneMatch(c -> "\\/<>:\"|?*".indexOf(c) >= 0 || c < 0x20 || Text.breaksALine(c))
                && !WindowsNames.isDevice(name);
    }

    /** Debian's name for the processor the launcher is built for (ELF e_machine). */
    private static String debArchitecture(Path launcher) throws Stop {
        try (java.io.InputStream in = Files.newInputStream(launcher)) {
            final byte[] header = in.readNBytes(20);
            final int machine = header.length < 20 ? 0 : (header[18] & 0xff) | (header[19] & 0xff) << 8;
            return switch (machine) {
                case 0x3E -> "amd64";
                case 0xB7 -> "arm64";
                default -> throw Stop.refused("--launcher " + Text.quote(launcher) + " is built for a processor "
                        + "(ELF machine " + machine + ") the packager knows no Debian architecture for");
            };
        } catch (IOException unreadable) {
            throw Stop.refused("--launcher " + Text.quote(launcher) + " cannot be read: " + Text.describe(unreadable));
        }
    }

    /** The icon and the texts of the executable's properties; a Windows launcher is branded here, in memory. */
    private void checkBranding() throws Stop {
        for (final String[] text : new String[][] {{"--vendor", options.vendor}, {"--description", options.description},
                {"--copyright", options.copyright}, {"--app-version", options.appVersion}}) {
            if (text[1] != null && text[1].codePoints().anyMatch(Text::breaksALine)) {
                throw Stop.refused(text[0] + " holds a line break or another control character; it is one line of "
                        + "text in the executable's properties");
            }
        }
        if (options.icon != null && !Files.isRegularFile(options.icon)) {
            throw Stop.refused("--icon " + Text.quote(options.icon) + (Files.exists(options.icon) ? " is not a file"
                    : " does not exist") + "; give the " + (plan.target == Target.LINUX ? "PNG" : ".ico") + " file of "
                    + "the product's icon");
        }
        if (plan.target == Target.LINUX) {
            if (options.icon != null && !FileTrees.startsWith(options.icon, PNG_SIGNATURE)) {
                throw Stop.refused("--icon " + Text.quote(options.icon) + " is not a PNG image, which a Linux .desktop entry needs");
            }
            return;
        }
        if (options.appVersion != null) {
            final String why = Branding.whyNotAVersion(options.appVersion);
            if (why != null) {
                throw Stop.refused("--app-version " + options.appVersion + " " + why);
            }
        }
        if (Branding.isAsked(options)) {
            plan.brandedLauncher = Branding.brand(plan, plan.launcher, plan.name, options.description,
                    options.appVersion, options.icon);
        }
    }

    static void checkName(String option, String name) throws Stop {
        // Character by character: a pattern's "." would not match a line break.
        final boolean refused = name.isEmpty() || name.equals(".") || name.equals("..")
                || name.codePoints().anyMatch(c -> "/\\:*?\"<>|".indexOf(c) >= 0 || Text.breaksALine(c));
        if (refused) {
            throw Stop.refused(option + " " + name.replaceAll("\\p{Cntrl}|\u2028|\u2029", "?") + " is not a file name "
                    + "every platform accepts: leave out / \\ : * ? \" < > | and line breaks or other control "
                    + "characters");
        }
    }

    private static Path realPath(Path path) throws Stop {
        try {
            return path.toRealPath();
        } catch (IOException unreadable) {
            throw Stop.refused("cannot read " + Text.quote(path) + ": " + Text.describe(unreadable));
        }
    }

    /** The real path of the nearest folder above `path` that exists, with the rest of `path` after it. */
    private static Path realPathOfWhatMayNotExist(Path path) throws Stop {
        Path existing = path.normalize();
        while (existing.getParent() != null && !Files.exists(existing)) {
            existing = existing.getParent();
        }
        return realPath(existing).resolve(existing.relativize(path.normalize()));
    }

    /** The package's database holds the names of the files it installs, in its code page. */
    private static void checkNamesForTheInstaller(Path input, String origin) throws Stop {
        final Path file = firstFile(input, origin, path -> !MsiPackage.canHold(path.getFileName().toString())
                || !isWindowsFileName(path.getFileName().toString()));
        if (file != null) {
            throw refusedForTheInstaller(file);
        }
    }

    private static Stop refusedForTheInstaller(Path file) {
        return Stop.refused("the package cannot hold the name of " + Text.quote(file) + ": Windows names no file "
                + "with \\ / < > : \" | ? * or a trailing dot or space, and wixl writes its texts in code page "
                + "1252 (Western European) and reads $( and $$ as variables; rename the file");
    }

    /** The first file or folder in --input, --input itself aside, that is as `test` says; null if none is. */
    private static Path firstFile(Path input, String origin, java.util.function.Predicate<Path> test) throws Stop {
        try (Stream<Path> files = Files.walk(input, FileVisitOption.FOLLOW_LINKS)) {
            return files.filter(file -> !file.equals(input) && test.test(file)).findFirst().orElse(null);
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(origin + " cannot be read: " + Text.describe(unreadable));
        }
    }

    private static String whyNotCopyable(Path folder, String option) throws Stop {
        try {
            return FileTrees.whyNotCopyable(folder);
        } catch (IOException | UncheckedIOException unreadable) {
            throw Stop.refused(option + " " + Text.quote(folder) + " cannot be read: " + Text.describe(unreadable));
        }
    }

    private void checkMainClass() throws Stop {
        String mainClass = options.mainClass;
        try (JarFile jar = new JarFile(plan.mainJarPath.toFile())) {
            if (mainClass == null) {
                final Attributes attributes = jar.getManifest() == null ? null : jar.getManifest().getMainAttributes();
                mainClass = attributes == null ? null : attributes.getValue(Attributes.Name.MAIN_CLASS);
                if (mainClass == null || mainClass.isBlank()) {
                    throw Stop.refused("no main class: " + options.mainJar + " has no Main-Class in its manifest; "
                            + "give --main-class");
                }
                mainClass = mainClass.trim();
            }
            plan.mainClassInternalName = mainClass.replace('.', '/');
            // The splash java -jar would show, unless --java-options names one.
            final String splash = jar.getManifest() == null ? null
                    : jar.getManifest().getMainAttributes().getValue("SplashScreen-Image");
            if (splash != null && jar.getEntry(splash.trim()) != null
                    && options.javaOptions.stream().noneMatch(o -> o.startsWith("-splash:"))) {
                plan.splashEntry = splash.trim();
            }
            final String entry = plan.mainClassInternalName + ".class";
            final boolean present = jar.stream().anyMatch(e -> e.getName().equals(entry)
                    || e.getName().matches("META-INF/versions/\\d+/" + Pattern.quote(entry)));
            if (!present) {
                throw Stop.refused("the main class " + mainClass + " is not in " + options.mainJar + " (it holds no "
                        + entry + ")");
            }
            if (options.singleInstance != null) {
                LaterStartMethod.check(options.singleInstance, jar, options.mainJar);
            }
        } catch (IOException notAJar) {
            throw Stop.refused("--main-jar " + Text.quote(plan.mainJarPath) + " is not a jar: " + Text.describe(notAJar));
        }
    }

    /**
     * The launchers of an --app-image folder that a Windows Installer package installs as services are the
     * launcher's service variant, and the others are not: started by hand, the variant only says that the
     * service manager starts it.
     */
    private void checkServiceVariants() throws Stop {
        final Map<String, String> services = new HashMap<>();
        MsiServices.of(plan).forEach(service -> services.put(service.executable(), service.origin()));
        final List<String> executables = new ArrayList<>(List.of(plan.executableName()));
        plan.extraLaunchers.forEach(launcher -> executables.add(launcher.executableName(plan.target)));
        for (final String executable : executables) {
            final String service = services.get(executable);
            if (MsiServices.isServiceVariant(plan.appImage.resolve(executable)) != (service != null)) {
                throw Stop.refused(service != null
                        ? service + " installs " + executable + " of --app-image " + Text.quote(options.appImage)
                                + " as a Windows service, and it is not the launcher's service variant: make the folder with --launcher-as-service (or the launcher's "
                                + "launcher-as-service=true)"
                        : executable + " of --app-image " + Text.quote(options.appImage) + " is the launcher's "
                                + "service variant, which only the service manager starts, and the package would "
                                + "install it as a program: give --launcher-as-service (or the launcher's "
                                + "launcher-as-service=true) with --win-per-machine-install, as when the folder was made");
            }
        }
    }

    private void checkLauncher() throws Stop {
        final Target target = plan.target;
        if (options.winConsole && target != Target.WINDOWS) {
            throw Stop.refused("--win-console chooses the Windows launcher's console variant; a " + target.name
                    + " launcher always has a console when started from one");
        }
        if (options.winConsole && options.launcher != null) {
            throw Stop.refused("give --launcher or --win-console, not both: --win-console chooses the console "
                    + "variant beside packager.jar, --launcher names a launcher of your own");
        }
        final boolean windowsService = options.launcherAsService && target == Target.WINDOWS;
        if (windowsService && options.winConsole) {
            throw Stop.refused("give --launcher-as-service or --win-console, not both: a Windows service runs the "
                    + "launcher's service variant, which has no console of its own");
        }
        if (windowsService && options.launcher != null) {
            throw Stop.refused("give --launcher or --launcher-as-service, not both: a Windows service runs the "
                    + "launcher's service variant beside packager.jar (launcher-service.exe), and --launcher names "
                    + "a launcher of your own, which the service manager could not start");
        }
        plan.launcher = options.launcher != null ? options.launcher
                : Launchers.defaultFor(target, Launchers.Variant.of(target, options.winConsole, windowsService));
        if (!Files.exists(plan.launcher)) {
            throw Stop.refused("--launcher " + Text.quote(plan.launcher) + " does not exist"
                    + (plan.launcher.isAbsolute() ? ""
                            : " (in " + Text.quote(Path.of("").toAbsolutePath()) + ", the current directory)"));
        }
        final boolean windowsExecutable = FileTrees.startsWith(plan.launcher, new byte[] {'M', 'Z'});
        final boolean linuxExecutable = FileTrees.startsWith(plan.launcher, new byte[] {0x7f, 'E', 'L', 'F'});
        if (!Files.isRegularFile(plan.launcher) || (target == Target.WINDOWS ? !windowsExecutable : !linuxExecutable)) {
            throw Stop.refused("--launcher " + Text.quote(plan.launcher) + " is not a " + target.name + " executable");
        }
        if (options.launcher != null && target == Target.WINDOWS && MsiServices.isServiceVariant(plan.launcher)) {
            throw Stop.refused("--launcher " + Text.quote(plan.launcher) + " is the launcher's service variant, which "
                    + "only the service manager starts: give --launcher-as-service (without --launcher) for a "
                    + "Windows service, or another launcher");
        }
    }

    private void checkRuntime() throws Stop {
        final Target target = plan.target;
        final Path runtimeImage = options.runtimeImage;
        if (runtimeImage != null && !options.modulePath.isEmpty()) {
            throw Stop.refused("give --runtime-image or --module-path, not both: --runtime-image is copied as it is, "
                    + "--module-path is linked into a runtime");
        }
        final int ownFeature = Runtime.version().feature();
        // The JDK's own modules, where the module path names them.
        final Path jmods = options.modulePath.stream().filter(folder -> Files.exists(folder.resolve("java.base.jmod")))
                .findFirst().orElse(null);
        plan.jmods = jmods;
        if (runtimeImage != null) {
            if (Files.isDirectory(runtimeImage)) {
                plan.runtimeImage = realPath(runtimeImage);  // a link such as /usr/lib/jvm/default-java is copied as what it names
            }
            if (!Files.isRegularFile(runtimeImage.resolve(target.jvmLibrary))) {
                throw Stop.refused("--runtime-image " + Text.quote(runtimeImage) + " holds no Java runtime for "
                        + target.name + " (no " + target.jvmLibrary + ")");
            }
            plan.runtimeFeature = JavaRuntime.releaseFeature(runtimeImage);
        } else if (jmods != null) {
            final ModuleDescriptor base = JavaRuntime.jmodDescriptor(jmods.resolve("java.base.jmod")).orElseThrow(
                    () -> Stop.refused("--module-path " + Text.quote(jmods) + " is not the jmods folder of a JDK (its "
                            + "java.base.jmod cannot be read)"));
            final String platform = JavaRuntime.jmodPlatform(jmods.resolve("java.base.jmod"));
            if (platform != null && !platform.equals(target.name)) {
                throw Stop.refused("--module-path " + Text.quote(jmods) + " holds the modules of a " + platform
                        + " JDK, and the target is " + target.name + ": give the jmods folder of a " + target.name
                        + " JDK");
            }
            final String version = base.rawVersion().orElse("unknown");
            plan.runtimeFeature = base.version().map(JavaRuntime::feature).orElse(0);
            if (plan.runtimeFeature != ownFeature) {
                throw Stop.refused("--module-path " + Text.quote(jmods) + " holds the modules of Java " + version
                        + ", and this jlink is Java " + Runtime.version() + ": jlink links only its own feature "
                        + "version; run the packager with a JDK " + plan.runtimeFeature);
            }
        } else if (!target.isOwn()) {
            throw Stop.refused("a " + target.name + " runtime cannot be made from this JDK's modules: give "
                    + "--runtime-image (a " + target.name + " Java runtime) or, in --module-path, the jmods folder of "
                    + "a " + target.name + " JDK " + ownFeature + " (the folder that holds java.base.jmod)");
        } else {
            plan.runtimeFeature = ownFeature;
        }
    }

    /** --module NAME[/CLASS]: a module that can be linked, and its main class. */
    private void checkMainModule() throws Stop {
        final int slash = options.module.indexOf('/');
        final String name = slash < 0 ? options.module : options.module.substring(0, slash);
        String mainClass = slash < 0 ? null : options.module.substring(slash + 1).replace('/', '.');
        plan.mainModule = name;
        if (options.runtimeImage != null) {
            if (mainClass == null) {
                throw Stop.refused("--module " + name + " with --runtime-image needs its main class: give --module "
                        + name + "/CLASS");
            }
            plan.mainClassInternalName = mainClass.replace('.', '/');
            return;
        }
        final ModuleReference module;
        try {
            module = ModuleFinder.compose(ModuleFinder.of(options.modulePath.toArray(Path[]::new)),
                    ModuleFinder.ofSystem()).find(name).orElseThrow(() -> Stop.refused("--module " + name + " is not "
                            + "on --module-path" + (options.modulePath.isEmpty() ? ""
                                    : " " + Text.quote(String.join(java.io.File.pathSeparator,
                                            options.modulePath.stream().map(Path::toString).toList())))
                            + ": give the folder that holds its modular jar"));
        } catch (FindException unreadable) {
            throw Stop.refused("--module-path cannot be read as a path of modules: " + unreadable.getMessage());
        }
        final ModuleDescriptor descriptor = module.descriptor();
        if (descriptor.isAutomatic()) {
            throw Stop.refused("--module " + name + " is an automatic module (" + module.location().map(Object::toString)
                    .orElse("a jar") + " has no module-info.class), which jlink cannot link; give its jar with "
                    + "--input and --main-jar instead");
        }
        if (mainClass == null) {
            mainClass = descriptor.mainClass().orElseThrow(() -> Stop.refused("the module " + name + " names no main "
                    + "class: give --module " + name + "/CLASS"));
        }
        final String mainPackage = mainClass.contains(".") ? mainClass.substring(0, mainClass.lastIndexOf('.')) : "";
        if (!descriptor.packages().contains(mainPackage)) {
            throw Stop.refused("the main class " + mainClass + " is not in the module " + name + " (it has no package "
                    + (mainPackage.isEmpty() ? "for classes without one" : mainPackage) + ")");
        }
        plan.mainClassInternalName = mainClass.replace('.', '/');
    }

    /** The folder and archive may be made: absent, an empty folder, or made by this packager and --replace given. */
    private void checkReplaceable() throws Stop {
        final Path appFolder = plan.appFolder;
        if (!plan.isInstaller() && Files.exists(appFolder, LinkOption.NOFOLLOW_LINKS) && !FileTrees.isEmptyFolder(appFolder)) {
            if (!options.replace) {
                throw Stop.refused(Text.quote(appFolder) + " exists and is not empty; give --replace to replace a folder this "
                        + "packager made, or choose another --name or --dest");
            }
            if (!Files.isDirectory(appFolder, LinkOption.NOFOLLOW_LINKS)
                    || !Files.isRegularFile(appFolder.resolve(Plan.MARKER))) {
                throw Stop.refused(Text.quote(appFolder) + " was not made by this packager (it has no " + Plan.MARKER + "), so "
                        + "--replace leaves it as it is; choose another --name or --dest");
            }
        }
        if (plan.isInstaller() && Files.exists(plan.installerPath(), LinkOption.NOFOLLOW_LINKS) && !options.replace) {
            throw Stop.refused(Text.quote(plan.installerPath()) + " exists; give --replace to replace it");
        }
        final Path archivePath = plan.archivePath;
        if (options.archive && Files.exists(archivePath, LinkOption.NOFOLLOW_LINKS)) {
            if (!options.replace) {
                throw Stop.refused(Text.quote(archivePath) + " exists; give --replace to replace an archive this packager made");
            }
            if (!Archives.madeByPackager(archivePath, plan.name)) {
                throw Stop.refused(Text.quote(archivePath) + " was not made by this packager, so --replace leaves it as it is");
            }
        }
        if (options.replace && !plan.isInstaller()) {
            plan.earlierArchives = Archives.earlierArchives(appFolder, plan.name, options.archive ? archivePath : null);
        }
        final Path dest = options.dest.toAbsolutePath().normalize();
        if (Files.exists(dest) && !Files.isDirectory(dest)) {
            throw Stop.refused("--dest " + Text.quote(options.dest) + " is a file, not a folder; name the folder the application "
                    + "folder is made in");
        }
        if (!Files.isWritable(dest) && Files.exists(dest)) {
            throw Stop.refused("no permission to write in " + Text.quote(dest));
        }
    }

    /** --temp: a new or empty folder, where nothing the packager copies or replaces lies. */
    private void checkTemp() throws Stop {
        if (options.temp == null) {
            return;
        }
        final Path temp = realPathOfWhatMayNotExist(options.temp.toAbsolutePath());
        if (Files.exists(options.temp, LinkOption.NOFOLLOW_LINKS) && !FileTrees.isEmptyFolder(temp)) {
            throw Stop.refused("--temp " + Text.quote(options.temp) + (Files.isDirectory(temp) ? " is not empty" : " is not a folder")
                    + "; give a new or empty folder, where the packager leaves its work for you to inspect");
        }
        if (plan.input != null && temp.startsWith(plan.input)) {
            throw Stop.refused("--temp " + Text.quote(options.temp) + " lies inside --input " + Text.quote(options.input)
                    + ", which is copied whole; choose another --temp");
        }
        for (final AppContent content : plan.appContent) {
            if (temp.startsWith(content.source())) {
                throw Stop.refused("--temp " + Text.quote(options.temp) + " lies inside " + content.origin()
                        + ", which is copied whole; choose another --temp");
            }
        }
        if (plan.appImage != null && temp.startsWith(plan.appImage)) {
            throw Stop.refused("--temp " + Text.quote(options.temp) + " lies inside --app-image "
                    + Text.quote(options.appImage) + ", which is copied whole; choose another --temp");
        }
        final Path result = realPathOfWhatMayNotExist(plan.isInstaller() ? plan.installerPath() : plan.appFolder);
        if (result.startsWith(temp)) {
            throw Stop.refused("--temp " + Text.quote(options.temp) + " holds " + Text.quote(result) + ", what the "
                    + "packager makes, and --temp is left as the work left it; choose a --temp outside --dest");
        }
        if (temp.startsWith(realPathOfWhatMayNotExist(plan.appFolder))) {
            throw Stop.refused("--temp " + Text.quote(options.temp) + " lies inside " + Text.quote(plan.appFolder)
                    + ", the folder the packager makes; choose another --temp");
        }
        options.temp = temp;
    }
}
