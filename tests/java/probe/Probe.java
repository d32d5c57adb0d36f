package probe;

import java.lang.management.ManagementFactory;

// A Java program that reports what the launcher handed it, or behaves in the
// way its test asks for through the system property probe.mode.
public final class Probe {
    static {
        if ("init".equals(System.getProperty("probe.mode"))) {
            throw new IllegalStateException("probe failure in a static initialiser");
        }
    }

    public static void main(String[] args) throws Exception {
        System.out.println("probe: args " + args.length);
        int status = Integer.getInteger("probe.status", 0);
        switch (System.getProperty("probe.mode", "report")) {
            case "report":
                for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
                    System.out.println("probe: option " + option);
                }
                System.out.println("probe: class path " + System.getProperty("java.class.path"));
                System.out.println("probe: value " + System.getProperty("probe.value"));
                break;
            case "args":
                // Each argument's UTF-16 units, so that no output encoding can blur them.
                for (String arg : args) {
                    StringBuilder units = new StringBuilder("arg");
                    for (char unit : arg.toCharArray()) units.append(String.format(" %04x", (int) unit));
                    System.out.println("probe: " + units);
                }
                System.out.println("probe: command " + System.getProperty("sun.java.command"));
                break;
            case "folders":
                System.out.println("probe: user.dir " + System.getProperty("user.dir"));
                System.out.println("probe: app.home " + System.getProperty("app.home"));
                System.out.println("probe: relative file " + new String(
                        java.nio.file.Files.readAllBytes(java.nio.file.Paths.get("relative.txt")), "UTF-8").trim());
                break;
            case "worker":
                Thread worker = new Thread(() -> {
                    pause(1000);
                    System.out.println("probe: worker done");
                });
                worker.start();
                System.out.println("probe: main returns");
                break;
            case "exit":
                System.exit(status);
                break;
            case "notUtf8":
                System.out.write(new byte[] {'c', 'a', 'f', (byte) 0xE9, '\n'});  // "café" in Latin-1
                System.out.flush();
                System.exit(status);
                break;
            case "exitFromThread":
                new Thread(() -> {
                    pause(300);
                    System.exit(status);
                }).start();
                System.out.println("probe: main returns");
                break;
            case "handler":
                Thread.setDefaultUncaughtExceptionHandler(
                        (thread, failure) -> System.out.println("probe: handled " + failure.getMessage() + " in " + thread.getName()));
                throw new IllegalStateException("probe failure");
            case "hang":
                Thread.sleep(Long.MAX_VALUE);
                break;
            case "laterStarts":
                awaitLaterStarts();
                break;
            case "throw":
                throw new IllegalStateException("probe failure");
            case "providers":
                providers();
                break;
            case "splash":
                splash();
                break;
            default:
                System.out.println("probe: unknown mode");
        }
    }

    // What the JDK's service providers serve through java.base's API, which jdeps never sees: each step
    // prints what it got, or the exception it met.
    private static void providers() {
        step("date", () -> java.time.format.DateTimeFormatter.ofPattern("EEEE, d. MMMM yyyy", java.util.Locale.GERMANY)
                .format(java.time.LocalDate.of(2026, 12, 7)));
        step("charset", () -> new String(new byte[] {(byte) 0xC8, (byte) 0x85, (byte) 0x93, (byte) 0x93, (byte) 0x96},
                "IBM1047"));
        step("zipfs", () -> {
            final java.nio.file.Path jar = java.nio.file.Paths.get(System.getProperty("probe.zip"));
            try (java.nio.file.FileSystem zip = java.nio.file.FileSystems.newFileSystem(jar, (ClassLoader) null)) {
                return java.nio.file.Files.exists(zip.getPath("probe", "Probe.class")) ? "holds probe/Probe.class" : "no";
            }
        });
        step("tls", () -> {
            final javax.net.ssl.SSLContext context = javax.net.ssl.SSLContext.getInstance("TLSv1.3");
            context.init(null, new javax.net.ssl.TrustManager[] {new javax.net.ssl.X509TrustManager() {
                public void checkClientTrusted(java.security.cert.X509Certificate[] chain, String type) {
                }

                public void checkServerTrusted(java.security.cert.X509Certificate[] chain, String type) {
                }

                public java.security.cert.X509Certificate[] getAcceptedIssuers() {
                    return new java.security.cert.X509Certificate[0];
                }
            }}, null);
            try (javax.net.ssl.SSLSocket socket = (javax.net.ssl.SSLSocket) context.getSocketFactory()
                    .createSocket("127.0.0.1", Integer.getInteger("probe.port"))) {
                socket.startHandshake();
                return socket.getSession().getPeerCertificates()[0].getPublicKey().getAlgorithm() + " certificate";
            }
        });
    }

    // The splash the launcher showed before the JVM: the program finds it, reads its pixels off the screen
    // before it shows anything, and closes it.
    private static void splash() throws Exception {
        final java.awt.SplashScreen splash = java.awt.SplashScreen.getSplashScreen();
        System.out.println("probe: splash " + (splash == null ? "none" : splash.getImageURL()));
        if (splash != null) {
            final java.awt.Rectangle bounds = splash.getBounds();
            final java.awt.Robot screen = new java.awt.Robot();
            System.out.println("probe: pixel " + rgb(screen.getPixelColor((int) bounds.getCenterX(), (int) bounds.getCenterY())));
            splash.close();
            screen.delay(500);
            System.out.println("probe: after close " + java.awt.SplashScreen.getSplashScreen() + ", pixel "
                    + rgb(screen.getPixelColor((int) bounds.getCenterX(), (int) bounds.getCenterY())));
        }
    }

    private static int laterStarts;

    // Receives a later start's command line ("singleInstance" in config.json): each argument's UTF-16 units.
    public static void openFromAnotherStart(String[] arguments, String directory) {
        Thread thread = Thread.currentThread();
        StringBuilder line = new StringBuilder("probe: later start in " + directory + " on " + thread.getName()
                + (thread.isDaemon() ? " (daemon)" : "") + ":");
        for (String argument : arguments) {
            line.append(" [");
            for (char unit : argument.toCharArray()) line.append(String.format(" %04x", (int) unit));
            line.append(" ]");
        }
        System.out.println(line);
        // "hold": the call waits for the file probe.ready names with ".release" added, counts, and never returns.
        boolean hold = arguments.length > 0 && arguments[0].equals("hold");
        java.nio.file.Path release = java.nio.file.Paths.get(System.getProperty("probe.ready") + ".release");
        while (hold && !java.nio.file.Files.exists(release)) pause(50);
        synchronized (Probe.class) {
            ++laterStarts;
            Probe.class.notifyAll();
        }
        while (hold) pause(1000);
        // "busy": main ends now, while the call goes on taking a lock another thread holds most of the time.
        if (arguments.length > 0 && arguments[0].equals("busy")) {
            Thread holder = new Thread(() -> {
                while (true) {
                    synchronized (BUSY) {
                        pause(50);
                    }
                }
            });
            holder.setDaemon(true);
            holder.start();
            for (int i = 0; i < 20; ++i) {
                synchronized (BUSY) {
                    pause(1);
                }
            }
            System.out.println("probe: the busy call returned");
        }
    }

    private static final Object BUSY = new Object();

    // Not public: not a method later starts may be given to.
    static void openQuietly(String[] arguments, String directory) {
    }

    // Writes its process id to the file probe.ready names, then runs until probe.expect later starts came, or
    // until the file probe.ready names with ".end" added exists. When a file named with ".holdEnd" added exists
    // as the program ends, its shutdown hook writes ".ending" and waits until ".holdEnd" is gone.
    private static void awaitLaterStarts() throws Exception {
        java.nio.file.Path ready = java.nio.file.Paths.get(System.getProperty("probe.ready"));
        java.nio.file.Path holdEnd = ready.resolveSibling(ready.getFileName() + ".holdEnd");
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            if (!java.nio.file.Files.exists(holdEnd)) return;
            try {
                java.nio.file.Files.write(ready.resolveSibling(ready.getFileName() + ".ending"), new byte[0]);
            } catch (java.io.IOException e) {
                throw new java.io.UncheckedIOException(e);
            }
            for (int i = 0; i < 1200 && java.nio.file.Files.exists(holdEnd); ++i) pause(50);
        }));
        java.nio.file.Path written = ready.resolveSibling(ready.getFileName() + ".part");
        java.nio.file.Path end = ready.resolveSibling(ready.getFileName() + ".end");
        java.nio.file.Files.write(written, Long.toString(ProcessHandle.current().pid()).getBytes("UTF-8"));
        java.nio.file.Files.move(written, ready, java.nio.file.StandardCopyOption.ATOMIC_MOVE);
        int expected = Integer.getInteger("probe.expect", 0);
        long deadline = System.nanoTime() + 120_000_000_000L;
        synchronized (Probe.class) {
            while (laterStarts < expected && !java.nio.file.Files.exists(end) && System.nanoTime() < deadline) {
                Probe.class.wait(100);
            }
        }
        System.out.println("probe: received " + laterStarts);
    }

    private static String rgb(java.awt.Color color) {
        return color.getRed() + "," + color.getGreen() + "," + color.getBlue();
    }

    private interface Step {
        String run() throws Exception;
    }

    private static void step(String name, Step step) {
        try {
            System.out.println("probe: " + name + " " + step.run());
        } catch (Exception failure) {
            System.out.println("probe: " + name + " failed: " + failure);
        }
    }

    private static void pause(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
