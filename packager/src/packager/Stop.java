package packager;

/** Why packaging stopped; its status says whether anything was made. */
final class Stop extends Exception {
    static final int FAILED = 1;
    static final int REFUSED = 2;
    static final int MADE_WITHOUT_CACHE = 3;

    private static final long serialVersionUID = 1L;

    final int status;

    Stop(int status, String message) {
        super(message);
        this.status = status;
    }

    static Stop refused(String message) {
        return new Stop(REFUSED, message);
    }

    static Stop failed(String message) {
        return new Stop(FAILED, message);
    }
}
