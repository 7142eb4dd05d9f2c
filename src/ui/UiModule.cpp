// The user-interface library; its components live in the files beside this one.
