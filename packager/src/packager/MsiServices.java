package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * --launcher-as-service in a Windows Installer package: each launcher run as a Windows service is the launcher's
 * service variant, installed as a service of its own process that starts with the machine, started once
 * installed, stopped before an upgrade or removal replaces it, and removed with the package.
 */
final class MsiServices {
    private MsiServices() {
    }

    /** The refusal of a service in a package installed per user. */
    static final String NOT_PER_USER = "%s installs a Windows service, which is the machine's, not a user's: give "
            + "--win-per-machine-install with it";

    /** Services hold at most 256 characters in their names. */
    private static final int NAME_LIMIT = 256;

    /**
     * One launcher run as a service: what asked for it (for messages), the service's name (the product's, and
     * an extra launcher's after it: NAME-LAUNCHER), the name the Services list shows (the product's, and an
     * extra launcher's after it: NAME LAUNCHER; the service manager refuses a name another service shows), its
     * description, and the installed executable's file name.
     */
    record Service(String origin, String name, String displayName, String description, String executable) {
    }

    /** The main launcher with --launcher-as-service, then each extra launcher whose launcher-as-service says so. */
    static List<Service> of(Plan plan) {
        final List<Service> services = new ArrayList<>();
        if (plan.target != Target.WINDOWS) {
            return services;
        }
        if (plan.options.launcherAsService) {
            services.add(new Service("--launcher-as-service", plan.name, plan.name,
                    plan.options.description != null ? plan.options.description : plan.name, plan.executableName()));
        }
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (ExtraLaunchers.launcherAsService(plan, launcher)) {
                final String description = ExtraLaunchers.descriptionOf(plan, launcher);
                services.add(new Service(launcher.origin + " (launcher-as-service)", plan.name + "-" + launcher.name,
                        plan.name + " " + launcher.name, description != null ? description : launcher.name,
                        launcher.executableName(plan.target)));
            }
        }
        return services;
    }

    /**
     * A service is the machine's: the package installs per machine. The service manager starts a service's
     * executable, which refuses to be started by hand, so no shortcut or document type starts the main one.
     */
    static void check(Plan plan) throws Stop {
        final List<Service> services = of(plan);
        if (services.isEmpty()) {
            return;
        }
        if (!plan.options.winPerMachineInstall) {
            throw Stop.refused(NOT_PER_USER.formatted(services.get(0).origin()));
        }
        final Options options = plan.options;
        if (options.launcherAsService) {
            final List<String> starting = Checks.given(new Object[][] {{"--win-menu", options.winMenu},
                    {"--win-shortcut", options.winShortcut}, {"--file-associations", !options.fileAssociations.isEmpty()}});
            if (!starting.isEmpty()) {
                throw Stop.refused(starting.get(0) + " would start the main launcher by hand, and with "
                        + "--launcher-as-service the service manager starts it (it refuses any other start): leave "
                        + starting.get(0) + " out, or give it to a launcher of --add-launcher that is no service");
            }
        }
        if (options.launcherAsService && options.winMenuGroup != null
                && plan.extraLaunchers.stream().noneMatch(launcher -> ExtraLaunchers.winMenu(plan, launcher))) {
            throw Stop.refused("--win-menu-group names the Start-menu folder of the launchers' menu entries, and "
                    + "with --launcher-as-service no launcher has one: leave it out, or give it to an --add-launcher "
                    + "that is no service (launcher-as-service=false)");
        }
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            final String shortcut = Boolean.TRUE.equals(launcher.winMenu) ? "win-menu=true"
                    : Boolean.TRUE.equals(launcher.winShortcut) ? "win-shortcut=true" : null;
            if (shortcut != null && ExtraLaunchers.launcherAsService(plan, launcher)) {
                throw Stop.refused(launcher.origin + ": " + shortcut + " would start the launcher by hand, and it "
                        + "runs as a Windows service (launcher-as-service, its own or the main launcher's), which "
                        + "only the service manager starts: leave " + shortcut + " out, or give it "
                        + "launcher-as-service=false");
            }
        }
        final String installed = (options.installDir != null ? options.installDir : plan.name) + "\\";
        for (final Service service : services) {
            // The service manager expands %NAME% in a service's program path.
            if ((installed + service.executable()).matches(".*%[^%]+%.*")) {
                throw Stop.refused(service.origin() + ": the service's program " + installed + service.executable()
                        + " holds a pair of % around a name, which Windows reads as an environment variable when it "
                        + "starts the service: choose a --name, --install-dir or launcher name without it");
            }
            if (service.name().length() > NAME_LIMIT) {
                throw Stop.refused(service.origin() + ": the service's name " + service.name() + " is longer than "
                        + "the " + NAME_LIMIT + " characters Windows holds; choose a shorter --name");
            }
        }
    }

    /**
     * Whether a Windows executable is the launcher's service variant: the only one that imports the service
     * manager's StartServiceCtrlDispatcherW, whose name its import table holds as text.
     */
    static boolean isServiceVariant(Path executable) throws Stop {
        try {
            return new String(Files.readAllBytes(executable), StandardCharsets.ISO_8859_1)
                    .contains("StartServiceCtrlDispatcherW");
        } catch (IOException unreadable) {
            throw Stop.refused(Text.quote(executable) + " cannot be read: " + Text.describe(unreadable));
        }
    }
}
