// Only the precompiled GoogleTest header is made from this target.
