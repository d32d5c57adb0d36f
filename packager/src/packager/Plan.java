package packager;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/** What the checks settled before anything is made: the options, with every default filled in and checked. */
final class Plan {
    /** The file that marks a folder this packager made, so that --replace never deletes anything else. */
    static final String MARKER = ".made-by-packager";
    static final String AOT_CACHE = "app.aot";
    static final String SPLASH_IMAGE = "splash";

    final Options options;
    String name;
    Target target;
    Path input;
    Path mainJarPath;
    String mainClassInternalName;
    /** The main module (--module), linked into the runtime; null for a program run from its main jar. */
    String mainModule;
    /** The jars on the class path after the main jar, and those copied from outside --input. */
    ClassPath classPath;
    /** The main jar's SplashScreen-Image entry, extracted as SPLASH_IMAGE beside the launcher; null: none. */
    String splashEntry;
    /**
     * --type deb or rpm: the package's name, its architecture, where it installs the folder (for msi: the folder
     * under %LOCALAPPDATA%\\Programs or Program Files, with backslashes); every installer: the document types.
     */
    String linuxPackageName;
    String debArchitecture;
    String rpmArchitecture;
    /** --type rpm: the rpmbuild that builds it. */
    Path rpmbuild;
    String installDir;
    List<FileAssociation> fileAssociations = List.of();
    /** --type msi: its version, its upgrade code and the tool that builds it (wixl, or WiX 3's candle and light). */
    String msiVersion;
    java.util.UUID upgradeCode;
    List<Path> msiTools;

    /** --app-content, checked: what is copied into the folder beside the launcher. */
    List<AppContent> appContent = List.of();
    /** --resource-dir: the user's files this run uses in place of its own; none without the option. */
    ResourceDir resources = ResourceDir.NONE;

    /**
     * The launchers beside the main one (--add-launcher), in the order given; with --app-image, those the folder's
     * config.json names in "launchers".
     */
    List<ExtraLauncher> extraLaunchers = List.of();

    /** The JDK's jmods folder among --module-path; null when this JDK's own modules are linked. */
    Path jmods;
    Path launcher;
    /** The launcher with the product's resources, when the options brand it (Windows); else null. */
    byte[] brandedLauncher;
    /** --runtime-image as the folder it names, links resolved; null when the runtime is linked. */
    Path runtimeImage;
    int runtimeFeature;
    Path appFolder;
    Path archivePath;
    /** --app-image as the folder it names, links resolved; null when the folder is made. */
    Path appImage;
    /** With --replace, this packager's earlier archives of the folder that this run does not overwrite itself. */
    List<Path> earlierArchives = List.of();

    Plan(Options options) {
        this.options = options;
    }

    /** The splash image's file name beside the launcher: "splash" and the entry's extension. */
    String splashImageName() {
        final String name = splashEntry.substring(splashEntry.lastIndexOf('/') + 1);
        return SPLASH_IMAGE + (name.contains(".") ? name.substring(name.lastIndexOf('.')) : "");
    }

    /** The JVM options config.json gets: --java-options, after the splash image java -jar would show. */
    List<String> javaOptions() {
        final List<String> javaOptions = new ArrayList<>(options.javaOptions);
        if (splashEntry != null) {
            javaOptions.add(0, "-splash:$APPDIR/" + splashImageName());
        }
        return javaOptions;
    }

    /** A Linux target's archive: gzip unless --archive-compression says otherwise, as every tar reads it. */
    Compression archiveCompression() {
        return options.archiveCompression != null ? options.archiveCompression : Compression.GZIP;
    }

    /** NAME.zip for Windows, NAME.tar.gz or NAME.tar.xz for Linux. */
    String archiveFileName() {
        return name + (target == Target.WINDOWS ? ".zip" : ".tar" + archiveCompression().suffix);
    }

    /** A Debian package's data: xz unless --linux-deb-compression says otherwise, as dpkg-deb makes it. */
    Compression debCompression() {
        return options.linuxDebCompression != null ? options.linuxDebCompression : Compression.XZ;
    }

    boolean isDeb() {
        return "deb".equals(options.type);
    }

    boolean isMsi() {
        return "msi".equals(options.type);
    }

    boolean isRpm() {
        return "rpm".equals(options.type);
    }

    /** A package that installs a Linux program: deb or rpm. */
    boolean isLinuxPackage() {
        return isDeb() || isRpm();
    }

    boolean isInstaller() {
        return isLinuxPackage() || isMsi();
    }

    /** The package an installer type makes, beside where the folder would be. */
    Path installerPath() {
        return isDeb() ? debPath() : isRpm() ? appFolder.resolveSibling(rpmFileName())
                : appFolder.resolveSibling(name + "-" + msiVersion + ".msi");
    }

    /** --app-version, or 1.0 as jpackage's default. */
    String packageVersion() {
        return options.appVersion != null ? options.appVersion : "1.0";
    }

    /** The Debian version: the package's version, and --linux-app-release as its revision. */
    String debVersion() {
        return packageVersion() + (options.linuxAppRelease != null ? "-" + options.linuxAppRelease : "");
    }

    /** The RPM's Release: --linux-app-release, or 1 as jpackage's default. */
    String rpmRelease() {
        return options.linuxAppRelease != null ? options.linuxAppRelease : "1";
    }

    /** NAME-VERSION-RELEASE.ARCH.rpm, as rpmbuild names it. */
    String rpmFileName() {
        return linuxPackageName + "-" + packageVersion() + "-" + rpmRelease() + "." + rpmArchitecture + ".rpm";
    }

    String debFileName() {
        return linuxPackageName + "_" + debVersion().replaceFirst("^[0-9]+:", "") + "_" + debArchitecture + ".deb";
    }

    Path debPath() {
        return appFolder.resolveSibling(debFileName());
    }

    /** Where the folder runs from: where it is made, or where the package installs it. */
    Path runFolder() {
        return isLinuxPackage() ? Path.of(installDir) : appFolder;
    }

    /** Whether a Linux folder holds NAME.png, the menu entry's icon: made with --icon, or so made before. */
    boolean hasLinuxIcon() {
        return options.icon != null
                || (appImage != null && java.nio.file.Files.isRegularFile(appImage.resolve(name + ".png")));
    }

    String executableName() {
        return name + target.executableSuffix;
    }
}
