package packager;

import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.util.List;
import org.junit.jupiter.api.Test;

class LaterStartMethodTest {
    /** Constants that take two entries of the constant pool each, before the methods. */
    static final long WIDE = 1L << 40;
    static final double WIDER = 1.5e300;

    public static void open(String[] arguments, String directory) {
    }

    void open(String[] arguments) {
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

    @Test
    void refusesWhatIsNoWholeClassFile() throws IOException {
        final byte[] cutShort = java.util.Arrays.copyOf(ownClassFile(), 60);
        assertThrows(IOException.class, () -> LaterStartMethod.methods(new byte[40]));
        assertThrows(IOException.class, () -> LaterStartMethod.methods(cutShort));
    }
}
