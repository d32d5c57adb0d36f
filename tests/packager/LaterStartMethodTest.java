package packager;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.jar.JarFile;
import java.util.jar.JarOutputStream;
import java.util.zip.ZipEntry;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

class LaterStartMethodTest {
    /** Constants that take two entries of the constant pool each, before the methods. */
    static final long WIDE = 1L << 40;
    static final double WIDER = 1.5e300;

    public static void open(String[] arguments, String directory) {
    }

    void open(String[] arguments) {
    }

    public void openOnAnInstance(String[] arguments, String directory) {
    }

    static void openInThePackage(String[] arguments, String directory) {
    }

    public static int openWithAResult(String[] arguments, String directory) {
        return 0;
    }

    private static byte[] ownClassFile() throws IOException {
        try (InputStream in = LaterStartMethodTest.class.getResourceAsStream("LaterStartMethodTest.class")) {
            return in.readAllBytes();
        }
    }

    @Test
    void readsTheDeclaredMethodsWithTheirAccessAndDescriptor() throws IOException {
        final List<LaterStartMethod.Method> methods = LaterStartMethod.methods(ownClassFile());
        assertTrue(methods.contains(new LaterStartMethod.Method(0x0009, "open", LaterStartMethod.DESCRIPTOR)),
                methods::toString);
        assertTrue(methods.contains(new LaterStartMethod.Method(0x0000, "open", "([Ljava/lang/String;)V")),
                methods::toString);
    }

    /** A main jar holding this class, as the packager reads one. */
    private static JarFile mainJar(Path folder) throws IOException {
        final Path jar = folder.resolve("app.jar");
        try (OutputStream file = Files.newOutputStream(jar); JarOutputStream out = new JarOutputStream(file)) {
            out.putNextEntry(new ZipEntry("packager/LaterStartMethodTest.class"));
            out.write(ownClassFile());
        }
        return new JarFile(jar.toFile());
    }

    @Test
    void takesAPublicStaticMethodOfTheTwoArguments(@TempDir Path folder) throws IOException {
        try (JarFile jar = mainJar(folder)) {
            assertDoesNotThrow(() -> LaterStartMethod.check("packager.LaterStartMethodTest.open", jar, "app.jar"));
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {"openOnAnInstance", "openInThePackage", "openWithAResult"})
    void refusesAMethodOfAnotherKind(String name, @TempDir Path folder) throws IOException {
        try (JarFile jar = mainJar(folder)) {
            final Stop refused = assertThrows(Stop.class,
                    () -> LaterStartMethod.check("packager.LaterStartMethodTest." + name, jar, "app.jar"));
            assertTrue(refused.getMessage().contains("packager.LaterStartMethodTest." + name + " in app.jar is not "
                    + "public static void " + name + "(String[] arguments, String directory)"), refused::getMessage);
        }
    }

    @Test
    void refusesWhatIsNoWholeClassFile() throws IOException {
        final byte[] cutShort = java.util.Arrays.copyOf(ownClassFile(), 60);
        assertThrows(IOException.class, () -> LaterStartMethod.methods(new byte[40]));
        assertThrows(IOException.class, () -> LaterStartMethod.methods(cutShort));
    }
}
