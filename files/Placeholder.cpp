// The files library grows here.
