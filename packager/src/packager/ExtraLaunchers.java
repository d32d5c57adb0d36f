package packager;

import java.io.IOException;
import java.lang.module.FindException;
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.jar.Attributes;
import java.util.jar.JarFile;

/** What the checks settle for the extra launchers: names, programs, options, executables. */
final class ExtraLaunchers {
    private ExtraLaunchers() {
    }

    /**
     * Each name is a file name, none is the main launcher's or another's (letter case aside: Windows keeps one
     * file of two such names, and the launcher finds its entry letter case aside); returns the names of the
     * files they add to the folder, which --input must not hold.
     */
    static List<String> checkNames(Plan plan) throws Stop {
        final List<String> files = new ArrayList<>();
        final List<String> names = new ArrayList<>(List.of(plan.name));
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            Checks.checkName(launcher.origin + " (its name)", launcher.name);
            for (final String other : names) {
                if (WindowsNames.same(other, launcher.name)) {
                    throw Stop.refused(launcher.origin + " names the launcher " + launcher.name + ", and " + other
                            + (other.equals(plan.name) ? " is the main launcher's name" : " is another's")
                            + (other.equals(launcher.name) ? "" : ", letter case aside") + "; choose another name");
                }
            }
            if (plan.target == Target.WINDOWS && WindowsNames.isDevice(launcher.name)) {
                throw Stop.refused(launcher.origin + " names the launcher " + launcher.name + ", a name Windows "
                        + "keeps for a device; choose another name");
            }
            names.add(launcher.name);
            files.add(launcher.executableName(plan.target));
            if (plan.target == Target.LINUX && iconOf(plan, launcher) != null) {
                files.addAll(List.of(launcher.name + ".png", launcher.name + ".desktop"));
            }
        }
        return files;
    }

    /** Its program, options and executable; after the main launcher's are settled. */
    static void check(Plan plan) throws Stop {
        checkForTheInstaller(plan);
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (launcher.module != null && launcher.mainJar != null) {
                throw Stop.refused(launcher.origin + " gives module and main-jar; give one: main-jar names the jar "
                        + "of a program run from the class path, module the main module of a modular one");
            }
            if (launcher.javaOptions != null) {
                Checks.checkJavaOptions(launcher.origin + " java-options", launcher.javaOptions);
            }
            if (launcher.module != null) {
                checkModule(plan, launcher);
            } else if (launcher.mainJar != null) {
                checkMainJar(plan, launcher);
            } else if (launcher.mainClass != null) {
                launcher.mainClassInternalName = launcher.mainClass.replace('.', '/');
                if (plan.mainModule == null) {
                    checkClassIsInAJar(plan, launcher);
                }
            }
            checkExecutable(plan, launcher);
        }
    }

    /**
     * What the installers ask of every extra launcher, made in this run or read from an --app-image folder:
     * texts in the MSI's code page. (A service is a systemd one on Linux and a Windows one on Windows, kept in a
     * folder for the package made of it.)
     */
    static void checkForTheInstaller(Plan plan) throws Stop {
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (plan.isMsi()) {
                for (final String text : java.util.Arrays.asList(launcher.name, descriptionOf(plan, launcher))) {
                    if (text != null && !MsiPackage.canHold(text)) {
                        throw Stop.refused(launcher.origin + ": " + text + " cannot be held by the package: wixl "
                                + "writes its texts in code page 1252 (Western European) and reads $( and $$ as "
                                + "variables; give the text in those characters, without $( or $$");
                    }
                }
            }
        }
    }

    /** Whether its Linux menu entry has an icon: one given, or NAME.png in a folder made before (--app-image). */
    static boolean hasLinuxIcon(Plan plan, ExtraLauncher launcher) {
        return plan.appImage != null ? Files.isRegularFile(plan.appImage.resolve(launcher.name + ".png"))
                : iconOf(plan, launcher) != null;
    }

    /** Its icon: its own, else the main launcher's; null for none. */
    static Path iconOf(Plan plan, ExtraLauncher launcher) {
        return launcher.icon != null ? launcher.icon : plan.options.icon;
    }

    static String descriptionOf(Plan plan, ExtraLauncher launcher) {
        return launcher.description != null ? launcher.description : plan.options.description;
    }

    static boolean winConsole(Plan plan, ExtraLauncher launcher) {
        return launcher.winConsole != null ? launcher.winConsole : plan.options.winConsole;
    }

    static boolean launcherAsService(Plan plan, ExtraLauncher launcher) {
        return launcher.launcherAsService != null ? launcher.launcherAsService : plan.options.launcherAsService;
    }

    /** A launcher the service manager runs (a Windows service) has no shortcut. */
    static boolean winMenu(Plan plan, ExtraLauncher launcher) {
        return !isWindowsService(plan, launcher) && (launcher.winMenu != null ? launcher.winMenu
                : plan.options.winMenu || plan.options.winMenuGroup != null);
    }

    static boolean winShortcut(Plan plan, ExtraLauncher launcher) {
        return !isWindowsService(plan, launcher)
                && (launcher.winShortcut != null ? launcher.winShortcut : plan.options.winShortcut);
    }

    private static boolean isWindowsService(Plan plan, ExtraLauncher launcher) {
        return plan.target == Target.WINDOWS && launcherAsService(plan, launcher);
    }

    static boolean linuxShortcut(Plan plan, ExtraLauncher launcher) {
        return launcher.linuxShortcut != null ? launcher.linuxShortcut : plan.options.linuxShortcut;
    }

    private static void checkMainJar(Plan plan, ExtraLauncher launcher) throws Stop {
        if (plan.input == null) {
            throw Stop.refused(launcher.origin + " gives main-jar " + launcher.mainJar + ", and there is no --input "
                    + "to find it in; give --input");
        }
        final Path jarPath = plan.input.resolve(launcher.mainJar).normalize();
        if (!jarPath.startsWith(plan.input) || !Files.isRegularFile(jarPath)) {
            throw Stop.refused(launcher.origin + " gives main-jar " + launcher.mainJar + ", which is no jar in --input "
                    + Text.quote(plan.options.input) + "; name a jar in that folder");
        }
        String mainClass = launcher.mainClass;
        try (JarFile jar = new JarFile(jarPath.toFile())) {
            if (mainClass == null) {
                final Attributes attributes = jar.getManifest() == null ? null : jar.getManifest().getMainAttributes();
                mainClass = attributes == null ? null : attributes.getValue(Attributes.Name.MAIN_CLASS);
                if (mainClass == null || mainClass.isBlank()) {
                    throw Stop.refused(launcher.origin + ": " + launcher.mainJar + " has no Main-Class in its "
                            + "manifest; give main-class");
                }
            }
            launcher.mainClassInternalName = mainClass.trim().replace('.', '/');
            if (jar.getEntry(launcher.mainClassInternalName + ".class") == null) {
                throw Stop.refused(launcher.origin + ": the main class " + mainClass.trim() + " is not in "
                        + launcher.mainJar + " (it holds no " + launcher.mainClassInternalName + ".class)");
            }
        } catch (IOException notAJar) {
            throw Stop.refused(launcher.origin + " gives main-jar " + launcher.mainJar + ", which is not a jar: "
                    + Text.describe(notAJar));
        }
        launcher.jar = Text.slashed(plan.input.relativize(jarPath));
        // Every jar of the main launcher's class path but its own main jar, which comes first as "jar".
        launcher.classPath = new ArrayList<>();
        if (plan.mainJarPath != null) {
            launcher.classPath.add(Text.slashed(plan.input.relativize(plan.mainJarPath)));
        }
        launcher.classPath.addAll(plan.classPath.entries);
        launcher.classPath.remove(launcher.jar);
    }

    /** A main class given alone runs from the class path the main launcher has: one of --input's jars holds it. */
    private static void checkClassIsInAJar(Plan plan, ExtraLauncher launcher) throws Stop {
        final String entry = launcher.mainClassInternalName + ".class";
        final List<Path> jars;
        try (var files = Files.walk(plan.input)) {
            jars = files.filter(ClassPath::isJar).sorted().toList();
        } catch (IOException | java.io.UncheckedIOException unreadable) {
            throw Stop.refused("--input " + Text.quote(plan.options.input) + " cannot be read: "
                    + Text.describe(unreadable instanceof IOException io ? io : new IOException(unreadable)));
        }
        for (final Path path : jars) {
            try (JarFile jar = new JarFile(path.toFile())) {
                if (jar.getEntry(entry) != null) {
                    return;
                }
            } catch (IOException notAJar) {
                // java skips it on the class path too.
            }
        }
        throw Stop.refused(launcher.origin + ": the main class " + launcher.mainClass + " is in no jar of --input "
                + Text.quote(plan.options.input) + " (none holds " + entry + ")");
    }

    private static void checkModule(Plan plan, ExtraLauncher launcher) throws Stop {
        final int slash = launcher.module.indexOf('/');
        final String name = slash < 0 ? launcher.module : launcher.module.substring(0, slash);
        String mainClass = slash < 0 ? launcher.mainClass : launcher.module.substring(slash + 1);
        if (plan.runtimeImage != null) {
            if (!JavaRuntime.releaseModules(plan.runtimeImage).contains(name)) {
                throw Stop.refused(launcher.origin + " gives module " + name + ", which --runtime-image "
                        + Text.quote(plan.options.runtimeImage) + " does not hold; link it into that runtime");
            }
            if (mainClass == null) {
                throw Stop.refused(launcher.origin + " gives module " + name + " with --runtime-image, so it needs "
                        + "its main class: give module=" + name + "/CLASS or main-class");
            }
        } else {
            final ModuleDescriptor descriptor;
            try {
                descriptor = ModuleFinder.compose(ModuleFinder.of(plan.options.modulePath.toArray(Path[]::new)),
                        ModuleFinder.ofSystem()).find(name).orElseThrow(() -> Stop.refused(launcher.origin
                                + " gives module " + name + ", which is not on --module-path: give the folder that "
                                + "holds its modular jar")).descriptor();
            } catch (FindException unreadable) {
                throw Stop.refused("--module-path cannot be read as a path of modules: " + unreadable.getMessage());
            }
            if (descriptor.isAutomatic()) {
                throw Stop.refused(launcher.origin + " gives module " + name + ", an automatic module (no "
                        + "module-info.class), which jlink cannot link; give its jar as main-jar instead");
            }
            if (mainClass == null) {
                mainClass = descriptor.mainClass().orElseThrow(() -> Stop.refused(launcher.origin + ": the module "
                        + name + " names no main class; give module=" + name + "/CLASS or main-class"));
            }
        }
        launcher.module = name;
        launcher.mainClassInternalName = mainClass.replace('.', '/');
    }

    /** Which launcher it copies, and, for Windows, its own icon and version resource in that copy. */
    private static void checkExecutable(Plan plan, ExtraLauncher launcher) throws Stop {
        final boolean console = winConsole(plan, launcher);
        final boolean service = launcherAsService(plan, launcher);
        if (plan.target == Target.WINDOWS && service && console) {
            throw Stop.refused(launcher.origin + ": the launcher would run as a Windows service (launcher-as-service) "
                    + "with a console (win-console), its own or the main launcher's; a service runs the launcher's "
                    + "service variant, which has none: give it win-console=false or launcher-as-service=false");
        }
        final Launchers.Variant variant = Launchers.Variant.of(plan.target, console, service);
        final Launchers.Variant mainVariant = Launchers.Variant.of(plan.target, plan.options.winConsole,
                plan.options.launcherAsService);
        if (variant == mainVariant) {
            launcher.launcherFile = plan.launcher;
        } else if (plan.options.launcher != null) {
            throw Stop.refused(launcher.origin + " gives " + (variant == Launchers.Variant.SERVICE
                    ? "launcher-as-service=true" : "win-console=" + console) + ", and --launcher names the one "
                    + "launcher to copy; leave out that property, or --launcher to use the variants beside packager.jar");
        } else {
            launcher.launcherFile = Launchers.defaultFor(plan.target, variant);
        }
        final Path icon = iconOf(plan, launcher);
        if (launcher.icon != null && !Files.isRegularFile(launcher.icon)) {
            throw Stop.refused(launcher.origin + " gives icon " + Text.quote(launcher.icon) + ", which "
                    + (Files.exists(launcher.icon) ? "is not a file" : "does not exist") + "; give the "
                    + (plan.target == Target.LINUX ? "PNG" : ".ico") + " file of the launcher's icon");
        }
        for (final String[] text : new String[][] {{"description", launcher.description},
                {"app-version", launcher.appVersion}}) {
            if (text[1] != null && text[1].codePoints().anyMatch(Text::breaksALine)) {
                throw Stop.refused(launcher.origin + " gives " + text[0] + " a line break or another control "
                        + "character; it is one line of text");
            }
        }
        if (plan.target == Target.LINUX) {
            if (launcher.icon != null && !Checks.isPng(launcher.icon)) {
                throw Stop.refused(launcher.origin + " gives icon " + Text.quote(launcher.icon) + ", which is not a "
                        + "PNG image, as a Linux .desktop entry needs");
            }
            return;
        }
        final String version = launcher.appVersion != null ? launcher.appVersion : plan.options.appVersion;
        if (launcher.appVersion != null && Branding.whyNotAVersion(launcher.appVersion) != null) {
            throw Stop.refused(launcher.origin + " gives app-version " + launcher.appVersion + ", which "
                    + Branding.whyNotAVersion(launcher.appVersion));
        }
        if (Branding.isAsked(plan.options) || launcher.icon != null || launcher.description != null
                || launcher.appVersion != null) {
            launcher.brandedLauncher = Branding.brand(plan, launcher.launcherFile, launcher.name,
                    descriptionOf(plan, launcher), version, icon);
        }
    }
}
