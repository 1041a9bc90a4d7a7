// The module has no main function; its entry points are the C interface.
