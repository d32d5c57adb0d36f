package bench;

// A desktop program whose main shows its window at once: the time to its
// first pixel is the time to that window, or to the splash before it.
public final class Frame {
    public static void main(String[] args) throws Exception {
        javax.swing.SwingUtilities.invokeAndWait(() -> {
            javax.swing.JFrame frame = new javax.swing.JFrame("bench.Frame");
            frame.add(new javax.swing.JLabel("Hello from bench.Frame"));
            frame.setSize(400, 300);
            frame.setVisible(true);
        });
    }
}
