package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

/** The services of a Debian package with several launchers: each its own unit, all in the maintainer scripts. */
class ServiceUnitTest {
    private static Plan plan(boolean mainAsService, String... properties) throws Stop {
        final Options options = new Options();
        options.type = "deb";
        options.launcherAsService = mainAsService;
        final Plan plan = new Plan(options);
        plan.name = "Editor";
        plan.linuxPackageName = "editor";
        plan.installDir = "/opt/editor";
        final List<ExtraLauncher> launchers = new java.util.ArrayList<>();
        for (int i = 0; i < properties.length; ++i) {
            launchers.add(ExtraLauncher.parse(i == 0 ? "sync daemon" : "tool" + i, "--add-launcher", properties[i]));
        }
        plan.extraLaunchers = launchers;
        return plan;
    }

    @Test
    void eachLauncherAskedForIsAUnitOfItsOwn() throws Stop {
        final Plan plan = plan(false, "launcher-as-service=true\ndescription=Keeps plans in step", "");
        assertEquals(List.of(new ServiceUnit.Service("editor-sync_daemon.service", "/opt/editor/sync daemon",
                "Keeps plans in step")), ServiceUnit.services(plan));
        assertTrue(ServiceUnit.text(ServiceUnit.services(plan).get(0))
                .contains("\nExecStart=\"/opt/editor/sync daemon\"\n"));
        // Left out, the property is the main launcher's option.
        assertEquals(List.of("editor.service", "editor-tool1.service"),
                ServiceUnit.services(plan(true, "launcher-as-service=false", "")).stream()
                        .map(ServiceUnit.Service::fileName).toList());
    }

    @Test
    void theMaintainerScriptsEnableStopAndPurgeEveryUnit() throws Stop {
        final Plan plan = plan(true, "launcher-as-service=true");
        final String postinst = ServiceUnit.debianPostinst(plan);
        for (final String unit : List.of("'editor.service'", "'editor-sync_daemon.service'")) {
            assertTrue(postinst.contains("deb-systemd-helper enable " + unit + " >/dev/null\n"), postinst);
            assertTrue(postinst.contains("deb-systemd-invoke restart " + unit + " >/dev/null || true\n"), postinst);
        }
        assertTrue(ServiceUnit.debianPrerm(plan)
                .contains("deb-systemd-invoke stop 'editor.service' 'editor-sync_daemon.service' >/dev/null"));
        assertTrue(ServiceUnit.debianPostrm(plan)
                .contains("deb-systemd-helper purge 'editor.service' 'editor-sync_daemon.service' >/dev/null"));
    }
}
