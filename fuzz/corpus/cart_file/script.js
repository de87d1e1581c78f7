var _CARTDAT=[1,$2,%11];
