package packager;

import java.util.ArrayList;
import java.util.List;

/**
 * --launcher-as-service on Linux: a systemd unit that runs the installed launcher, and the scripts that enable
 * and start it on installation and stop and disable it on removal. The unit is the same for every Linux package.
 * Debian's maintainer scripts use the helpers every Debian system has (init-system-helpers is essential), which
 * also work where systemd is not running, as in a chroot; an RPM's scriptlets call systemctl itself (not every
 * rpm has the %systemd_post macros: Debian's has none), whose enable and disable work without systemd running.
 */
final class ServiceUnit {
    private ServiceUnit() {
    }

    /** One launcher run as a service: its unit's file name, the installed executable, the unit's description. */
    record Service(String fileName, String executable, String description) {
    }

    /**
     * The launchers run as services: the main one with --launcher-as-service, and each extra launcher whose
     * launcher-as-service says so (left out, as the main launcher). The main launcher's unit is named after the
     * package, so that two products never share one; an extra launcher's after the package and its own name.
     */
    static List<Service> services(Plan plan) {
        final List<Service> services = new ArrayList<>();
        if (plan.options.launcherAsService) {
            services.add(new Service(plan.linuxPackageName + ".service", plan.installDir + "/" + plan.name,
                    plan.options.description != null ? plan.options.description : plan.name));
        }
        for (final ExtraLauncher launcher : plan.extraLaunchers) {
            if (ExtraLaunchers.launcherAsService(plan, launcher)) {
                final String description = ExtraLaunchers.descriptionOf(plan, launcher);
                services.add(new Service(plan.linuxPackageName + "-" + launcher.name.replaceAll("[^A-Za-z0-9_.-]+", "_")
                        + ".service", plan.installDir + "/" + launcher.name,
                        description != null ? description : launcher.name));
            }
        }
        return services;
    }

    /** Where an RPM installs the units: %{_unitdir}, which every systemd-based RPM system has. */
    static final String RPM_UNIT_FOLDER = "usr/lib/systemd/system";

    /**
     * Writes the units below `root`, the installed files' root, into `folder` (relative to it), each the user's
     * from --resource-dir if it holds one of its name; returns their installed paths.
     */
    static List<String> writeUnits(Plan plan, java.nio.file.Path root, String folder) throws java.io.IOException {
        final List<String> written = new ArrayList<>();
        for (final Service service : services(plan)) {
            final java.nio.file.Path unit = root.resolve(folder).resolve(service.fileName());
            java.nio.file.Files.createDirectories(unit.getParent());
            plan.resources.write(unit, service.fileName(), text(service));
            written.add("/" + folder + "/" + service.fileName());
        }
        return written;
    }

    /** The unit: the launcher where the package installs it, without arguments, started at boot. */
    static String text(Service service) {
        return "[Unit]\n"
                + "Description=" + specifiersEscaped(service.description()) + "\n"
                + "After=network.target\n"
                + "\n"
                + "[Service]\n"
                + "Type=simple\n"
                + "ExecStart=" + execStartWord(service.executable()) + "\n"
                + "\n"
                + "[Install]\n"
                + "WantedBy=multi-user.target\n";
    }

    /**
     * The executable's path as the first word of ExecStart: in double quotes, a backslash and a quote escaped
     * as C escapes them, and a % doubled (systemd reads %x as a specifier). A $ stays as it is: systemd
     * replaces variables in the arguments only.
     */
    static String execStartWord(String path) {
        return "\"" + specifiersEscaped(path.replace("\\", "\\\\").replace("\"", "\\\"")) + "\"";
    }

    private static String specifiersEscaped(String text) {
        return text.replace("%", "%%");
    }

    /** Debian's postinst: enabled on every installation unless disabled since, then (re)started where systemd runs; a
     * service that fails to start leaves the package installed, as Debian's own packages do. */
    static String debianPostinst(Plan plan) {
        final StringBuilder script = new StringBuilder("#!/bin/sh\n"
                + "set -e\n"
                + "if [ \"$1\" = configure ] || [ \"$1\" = abort-upgrade ] || [ \"$1\" = abort-deconfigure ] "
                + "|| [ \"$1\" = abort-remove ]; then\n");
        for (final Service service : services(plan)) {
            final String unit = "'" + service.fileName() + "'";
            script.append("    # An upgrade keeps the service disabled if its administrator disabled it.\n"
                    + "    if deb-systemd-helper --quiet was-enabled " + unit + "; then\n"
                    + "        deb-systemd-helper enable " + unit + " >/dev/null\n"
                    + "    else\n"
                    + "        deb-systemd-helper update-state " + unit + " >/dev/null\n"
                    + "    fi\n"
                    + "    if [ -d /run/systemd/system ]; then\n"
                    + "        systemctl --system daemon-reload >/dev/null || true\n"
                    + "        deb-systemd-invoke restart " + unit + " >/dev/null || true\n"
                    + "    fi\n");
        }
        return script.append("fi\n").toString();
    }

    /** Debian's prerm: stopped before its files go; an upgrade restarts it in the new postinst. */
    static String debianPrerm(Plan plan) {
        return "#!/bin/sh\n"
                + "set -e\n"
                + "if [ -d /run/systemd/system ] && [ \"$1\" = remove ]; then\n"
                + "    deb-systemd-invoke stop " + unitNames(plan) + " >/dev/null || true\n"
                + "fi\n";
    }

    /** Debian's postrm: no longer enabled once removed, and systemd forgets the unit. */
    static String debianPostrm(Plan plan) {
        return "#!/bin/sh\n"
                + "set -e\n"
                + "if [ \"$1\" = remove ] || [ \"$1\" = purge ]; then\n"
                + "    deb-systemd-helper purge " + unitNames(plan) + " >/dev/null\n"
                + "fi\n"
                + "if [ -d /run/systemd/system ]; then\n"
                + "    systemctl --system daemon-reload >/dev/null || true\n"
                + "fi\n";
    }

    /**
     * An RPM's scriptlets by section. %post: enabled on installation (an upgrade keeps what the administrator
     * chose), then started where systemd runs. %preun, on erasure: stopped, then disabled. %postun: systemd
     * rereads its units, and after an upgrade a running service restarts with the new files. A service that
     * fails to start, or a machine without systemctl, leaves the package installed.
     */
    static java.util.Map<String, String> rpmScriptlets(Plan plan) {
        final String units = unitNames(plan);
        final String running = "if [ -d /run/systemd/system ]; then\n";
        return java.util.Map.of(
                "%post", "if [ \"$1\" -eq 1 ]; then\n"
                        + "    systemctl --no-reload enable " + units + " >/dev/null 2>&1 || :\n"
                        + "fi\n"
                        + running
                        + "    systemctl daemon-reload >/dev/null 2>&1 || :\n"
                        + "    if [ \"$1\" -eq 1 ]; then\n"
                        + "        systemctl start " + units + " >/dev/null 2>&1 || :\n"
                        + "    fi\n"
                        + "fi\n",
                "%preun", "if [ \"$1\" -eq 0 ]; then\n"
                        + "    " + running
                        + "        systemctl stop " + units + " >/dev/null 2>&1 || :\n"
                        + "    fi\n"
                        + "    systemctl --no-reload disable " + units + " >/dev/null 2>&1 || :\n"
                        + "fi\n",
                "%postun", running
                        + "    systemctl daemon-reload >/dev/null 2>&1 || :\n"
                        + "    if [ \"$1\" -ge 1 ]; then\n"
                        + "        systemctl try-restart " + units + " >/dev/null 2>&1 || :\n"
                        + "    fi\n"
                        + "fi\n");
    }

    /** The units' file names, each quoted for the shell, separated by spaces (the helpers and systemctl take several). */
    private static String unitNames(Plan plan) {
        return String.join(" ", services(plan).stream().map(service -> "'" + service.fileName() + "'").toList());
    }
}
